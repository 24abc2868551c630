#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QUrl>

#include <optional>

// Bookmark data: an opaque blob that finds a local file again, also after it was renamed or
// moved within its folder. It holds the absolute path and the file's device and inode.

// Where bookmark data led, and whether it should be made afresh because the file was found
// somewhere else or is no longer the same file.
struct ResolvedBookmark
{
    QUrl url;
    bool isStale = false;
};

// Bookmark data of a local file; nothing when the URL is not a local absolute path or the file
// cannot be examined (a missing file gets no bookmark).
std::optional<QByteArray> createBookmarkData(const QUrl &url);

// The file that bookmark data stands for. Nothing when the data is not ours (foreign,
// truncated, another version) or the file is neither at its path nor beside it.
std::optional<ResolvedBookmark> resolveBookmarkData(QByteArrayView data);
