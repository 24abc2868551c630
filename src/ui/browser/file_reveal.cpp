#include "ui/browser/file_reveal.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>

#ifdef MEMORANTH_HAS_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#endif

namespace {

void openContainingFolder(const QUrl &file)
{
    if (!file.isLocalFile())
        return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(file.toLocalFile()).absolutePath()));
}

} // namespace

void revealInFileManager(const QUrl &file)
{
#ifdef MEMORANTH_HAS_DBUS
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"),
            QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
        call << QStringList{file.toString(QUrl::FullyEncoded)} << QString();
        // Asynchronous, so that a file manager slow to start never freezes the window.
        auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                         [file](QDBusPendingCallWatcher *finished) {
                             if (finished->isError())
                                 openContainingFolder(file);
                             finished->deleteLater();
                         });
        return;
    }
#endif
    openContainingFolder(file);
}

QString revealActionText()
{
#ifdef Q_OS_MACOS
    return QCoreApplication::translate("RecentFileRow", "Reveal in Finder");
#else
    return QCoreApplication::translate("RecentFileRow", "Show in File Manager");
#endif
}
