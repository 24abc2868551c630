#pragma once

#include <QFile>
#include <QTemporaryFile>
#include <QTest>

#include <cstdio>
#include <unistd.h>

// Collects what the code under test prints on standard output while it lives. Qt Test writes its
// own report there too: when a check fails while capturing, everything captured, the failure
// among it, is printed after all.
class CaptureStdout
{
public:
    CaptureStdout()
    {
        m_file.open();
        std::fflush(stdout);
        m_saved = ::dup(STDOUT_FILENO);
        ::dup2(m_file.handle(), STDOUT_FILENO);
    }
    ~CaptureStdout()
    {
        restore();
        if (QTest::currentTestFailed()) {
            m_file.seek(0);
            const QByteArray captured = m_file.readAll();
            std::fwrite(captured.constData(), 1, size_t(captured.size()), stdout);
            std::fflush(stdout);
        }
    }

    // Stops capturing and returns what was printed.
    QString text()
    {
        restore();
        m_file.seek(0);
        return QString::fromUtf8(m_file.readAll());
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
