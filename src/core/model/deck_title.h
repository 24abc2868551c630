#pragma once

#include <QString>
#include <QUrl>

// The deck title of a file URL: the file name split at every ".", empty pieces dropped,
// the last piece dropped, the rest joined with ".". "capitals.cards.txt" -> "capitals.cards".
QString deckTitle(const QUrl &url);
