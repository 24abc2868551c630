#pragma once

#include "core/app/commands_coordinator.h"
#include "core/app/recent_files.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>
#include <QtTest/QTest>

#include <memory>

// A coordinator and recent files over a temporary folder, as at a fresh start; the XDG folders
// and HOME point into it too, so the real home is never touched.
class WindowFixture
{
    QTemporaryDir m_dir; // first, so that it outlives everything that writes into it
    QSettings m_settings{m_dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat};

public:
    // Progress goes to the given folder below the temporary one.
    explicit WindowFixture(const QString &progressFolder = QStringLiteral("progress"))
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("data"))));
        qputenv("HOME", QFile::encodeName(m_dir.path()));
        QDir(m_dir.path()).mkpath(progressFolder); // saves go somewhere real
        recent = std::make_unique<RecentFiles>(&m_settings);
        coordinator = std::make_unique<CommandsCoordinator>(
            &m_settings, m_dir.filePath(progressFolder), recent.get());
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }

    QUrl file(const QString &name, const QByteArray &bytes) const
    {
        QFile out(m_dir.filePath(name));
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            out.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(out.fileName()));
        return QUrl::fromLocalFile(out.fileName());
    }

    // A deck of cards with the given numbers of faces.
    QUrl deck(const QString &name, const QList<int> &facesPerCard) const
    {
        QByteArray text;
        for (int card = 0; card < facesPerCard.size(); ++card) {
            text += "=== " + QByteArray::number(card) + "\n";
            for (int face = 0; face < facesPerCard[card]; ++face)
                text += (face ? "---\nCard " : "Card ") + QByteArray::number(card) + " face " +
                        QByteArray::number(face) + "\n";
        }
        return file(name, text);
    }
    QUrl deck(const QString &name, int cards) const { return deck(name, QList<int>(cards, 2)); }

    std::unique_ptr<RecentFiles> recent;
    std::unique_ptr<CommandsCoordinator> coordinator;
};

// The child of that type and object name, as a test reaches a window's parts; a missing one
// ends the test program, since every check after it would fail for the same reason.
template <typename T> T *named(const QObject *parent, const QString &name)
{
    T *child = parent->findChild<T *>(name);
    if (!child)
        qFatal("no %s named %s", T::staticMetaObject.className(), qPrintable(name));
    return child;
}

// Drags data over the widget's centre and drops it there, as the window system would. Returns
// whether the widget took the drop.
inline bool dropOn(QWidget *widget, const QList<QUrl> &urls, const QString &text = {})
{
    QMimeData data;
    if (!urls.isEmpty())
        data.setUrls(urls);
    if (!text.isEmpty())
        data.setText(text);
    const QPoint centre = widget->rect().center();
    const auto actions = Qt::CopyAction | Qt::LinkAction;
    QDragEnterEvent enter(centre, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(centre), actions, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &drop);
    return drop.isAccepted();
}
