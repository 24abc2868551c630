#pragma once

#include <QString>
#include <QUrl>

// Shows the file selected in the desktop's file manager (org.freedesktop.FileManager1 over the
// session bus), or opens its folder when no file manager answers.
void revealInFileManager(const QUrl &file);

// The text of the command that does it, as the platform names it.
QString revealActionText();
