#include "core/model/debug_output.h"

#include <QMutex>
#include <QTextStream>

#include <cstdio>

QString quotedForDebug(const QString &text)
{
    QString quoted;
    quoted.reserve(text.size() + 2);
    quoted.append(u'"');
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'"':
            quoted.append(u"\\\"");
            break;
        case u'\\':
            quoted.append(u"\\\\");
            break;
        case u'\n':
            quoted.append(u"\\n");
            break;
        case u'\r':
            quoted.append(u"\\r");
            break;
        case u'\t':
            quoted.append(u"\\t");
            break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                quoted.append(QStringLiteral("\\u{%1}").arg(c.unicode(), 0, 16));
            else
                quoted.append(c);
        }
    }
    quoted.append(u'"');
    return quoted;
}

void printLine(const QString &line)
{
    // Saves print from their own thread: keep lines whole.
    static QMutex mutex;
    QMutexLocker lock(&mutex);
    QTextStream out(stdout);
    out << line << '\n';
    out.flush();
}

void printQuotedLine(const QString &text)
{
    printLine(quotedForDebug(text));
}
