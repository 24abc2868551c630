#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryFile>

#include <cstdio>
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

// Collects what the process writes to standard output while it lives.
class StdoutCapture
{
public:
    StdoutCapture()
    {
        m_file.open();
        std::fflush(stdout);
        m_saved = ::dup(STDOUT_FILENO);
        ::dup2(m_file.handle(), STDOUT_FILENO);
    }
    ~StdoutCapture() { restore(); }

    QByteArray text()
    {
        restore();
        m_file.seek(0);
        return m_file.readAll();
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stdout);
        ::dup2(m_saved, STDOUT_FILENO);
        ::close(m_saved);
        m_saved = -1;
    }

    QTemporaryFile m_file;
    int m_saved = -1;
};
