#include "core/app/recent_files.h"

#include "core/app/bookmark.h"
#include "core/app/preferences.h"
#include "core/app/preferences_writer.h"
#include "core/model/debug_output.h"

namespace {

const QString recentFilesKey = QStringLiteral("recentFiles");

// The stored blobs, or nothing when the value is not an array of byte blobs only.
std::optional<QList<QByteArray>> storedBlobs(const QVariant &value)
{
    const int type = value.metaType().id();
    if (type != QMetaType::QVariantList && type != QMetaType::QStringList)
        return std::nullopt;
    QList<QByteArray> blobs;
    for (const QVariant &element : value.toList()) {
        if (element.metaType().id() != QMetaType::QByteArray)
            return std::nullopt;
        blobs.append(element.toByteArray());
    }
    return blobs;
}

} // namespace

RecentFiles &RecentFiles::shared()
{
    static RecentFiles store(&applicationPreferences());
    return store;
}

RecentFiles::RecentFiles(QSettings *preferences, QObject *parent)
    : QObject(parent), m_preferences(preferences)
{
    load();
}

void RecentFiles::load()
{
    const std::optional<QList<QByteArray>> blobs =
        storedBlobs(m_preferences->value(recentFilesKey));
    if (!blobs) {
        setFiles({});
        return;
    }
    QList<QUrl> files;
    bool anyStale = false;
    for (const QByteArray &blob : *blobs) {
        const std::optional<ResolvedBookmark> resolved = resolveBookmarkData(blob);
        if (!resolved)
            continue;
        files.append(resolved->url);
        anyStale = anyStale || resolved->isStale;
    }
    setFiles(std::move(files));
    if (anyStale)
        save();
}

void RecentFiles::add(const QUrl &file)
{
    QList<QUrl> files = m_files;
    const qsizetype index = files.indexOf(file);
    if (index >= 0)
        files.move(index, 0);
    else
        files.prepend(file);
    setFiles(std::move(files));
    save();
}

void RecentFiles::remove(const QUrl &file)
{
    const qsizetype index = m_files.indexOf(file);
    if (index >= 0) {
        QList<QUrl> files = m_files;
        files.removeAt(index);
        setFiles(std::move(files));
    }
    save();
}

void RecentFiles::clear()
{
    setFiles({});
    save();
}

void RecentFiles::save()
{
    QVariantList blobs;
    blobs.reserve(m_files.size());
    for (const QUrl &file : std::as_const(m_files)) {
        if (const std::optional<QByteArray> blob = createBookmarkData(file)) {
            blobs.append(*blob);
        } else {
            printQuotedLine(QStringLiteral("Failed to create bookmark data for ") +
                            file.toString() + QLatin1Char('.'));
        }
    }
    m_preferences->setValue(recentFilesKey, blobs);
    savePreferences(*m_preferences);
}

void RecentFiles::setFiles(QList<QUrl> files)
{
    if (files == m_files)
        return;
    m_files = std::move(files);
    Q_EMIT filesChanged();
}
