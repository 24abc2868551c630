#include "core/model/deck_title.h"

#include <QStringList>

QString deckTitle(const QUrl &url)
{
    const QString name = url.adjusted(QUrl::StripTrailingSlash).fileName();
    QStringList pieces = name.split(u'.', Qt::SkipEmptyParts);
    if (!pieces.isEmpty())
        pieces.removeLast();
    return pieces.join(u'.');
}
