#pragma once

#include "support/capture_stdout.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>

#include <unistd.h>

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// A file in the folder, by default holding one card; the test cannot go on without it.
inline QUrl makeFile(const QTemporaryDir &dir, const QString &name,
                     const QByteArray &bytes = "===\nQ\n")
{
    const QString path = dir.filePath(name);
    if (!writeFile(path, bytes))
        qFatal("cannot write %s", qPrintable(path));
    return QUrl::fromLocalFile(path);
}

// Replaces the file the way editors save: a new file renamed over the old one.
inline bool replaceByRename(const QString &path, const QByteArray &bytes)
{
    const QString temporary = path + QStringLiteral(".new");
    return writeFile(temporary, bytes) && ::rename(QFile::encodeName(temporary).constData(),
                                                   QFile::encodeName(path).constData()) == 0;
}

// A deck text of cards with a question and an answer face each.
inline QByteArray deckText(int cards, const QByteArray &prefix = "Q")
{
    QByteArray text;
    for (int i = 0; i < cards; ++i)
        text +=
            "===\n" + prefix + QByteArray::number(i) + "\n---\nA" + QByteArray::number(i) + "\n";
    return text;
}
