#pragma once

#include "core/app/commands_coordinator.h"
#include "core/app/recent_files.h"

#include <QFile>
#include <QMimeData>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>
#include <QtTest/QTest>

#include <memory>

// A coordinator and recent files over a temporary folder, as at a fresh start. The real home
// is never touched: the XDG folders point into the temporary folder too.
class WindowFixture
{
    // Declared first so that the folder outlives everything that writes into it.
    QTemporaryDir m_dir;
    std::unique_ptr<QSettings> m_settings;

public:
    WindowFixture()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("data"))));
        qputenv("HOME", QFile::encodeName(m_dir.path()));
        m_settings = std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("prefs.ini")),
                                                 QSettings::IniFormat);
        recent = std::make_unique<RecentFiles>(m_settings.get());
        coordinator = std::make_unique<CommandsCoordinator>(
            m_settings.get(), m_dir.filePath(QStringLiteral("progress")), recent.get());
    }

    // Writes a file into the temporary folder and returns its URL.
    QUrl file(const QString &name, const QByteArray &bytes) const
    {
        const QString path = m_dir.filePath(name);
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            out.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return QUrl::fromLocalFile(path);
    }

    // A deck of cards with the given numbers of faces.
    QUrl deck(const QString &name, QList<int> facesPerCard) const
    {
        QByteArray text;
        for (int card = 0; card < facesPerCard.size(); ++card) {
            text += "=== " + QByteArray::number(card) + "\n";
            for (int face = 0; face < facesPerCard[card]; ++face) {
                if (face)
                    text += "---\n";
                text +=
                    "Card " + QByteArray::number(card) + " face " + QByteArray::number(face) + "\n";
            }
        }
        return file(name, text);
    }

    QUrl deck(const QString &name, int cards) const { return deck(name, QList<int>(cards, 2)); }

    QString path() const { return m_dir.path(); }

    std::unique_ptr<RecentFiles> recent;
    std::unique_ptr<CommandsCoordinator> coordinator;
};

inline std::unique_ptr<QMimeData> urlData(const QList<QUrl> &urls)
{
    auto data = std::make_unique<QMimeData>();
    data->setUrls(urls);
    return data;
}

inline std::unique_ptr<QMimeData> textData(const QString &text)
{
    auto data = std::make_unique<QMimeData>();
    data->setText(text);
    return data;
}

// Drags data over the widget's centre and drops it there, as the window system would. Returns
// whether the widget took the drop.
inline bool dropOn(QWidget *widget, const QMimeData *data)
{
    const QPoint centre = widget->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction | Qt::LinkAction, data, Qt::LeftButton,
                          Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(centre), Qt::CopyAction | Qt::LinkAction, data, Qt::LeftButton,
                    Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &drop);
    return drop.isAccepted();
}
