#pragma once

#include <QString>

// Diagnostics go to standard output as single flushed lines; there is no log file.

// The text between double quotes, with quotes, backslashes and control characters escaped.
QString quotedForDebug(const QString &text);
void printLine(const QString &line);
// printLine(quotedForDebug(text)).
void printQuotedLine(const QString &text);
