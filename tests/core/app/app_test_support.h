#pragma once

#include "support/capture_stdout.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <unistd.h>

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
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
