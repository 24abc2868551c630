#pragma once

#include "core/store/file_stamp.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <optional>

// Tells when the open flashcard file changes on disk: written in place, or replaced through a
// rename as many editors save. Changes that come in a burst are reported once, after a short
// quiet time; a file that has disappeared is reported when it comes back.
class DeckFileWatcher final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DeckFileWatcher)

public:
    explicit DeckFileWatcher(QObject *parent = nullptr);

    // Watches this file from its present state on; an empty or remote URL watches nothing.
    void watch(const QUrl &file);

    static constexpr int quietMilliseconds = 150;

Q_SIGNALS:
    // The file exists and differs from when it was last seen.
    void fileChanged();

private:
    void rewatch();
    void check();

    QFileSystemWatcher m_watcher;
    QTimer m_quiet;
    QString m_path;
    std::optional<FileStamp> m_seen;
};
