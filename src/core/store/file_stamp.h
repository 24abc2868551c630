#pragma once

#include <QString>

#include <optional>

// What a file looks like on disk, enough to tell that it was written or replaced since: its size,
// its modification and change times and its inode.
struct FileStamp
{
    qint64 size = -1;
    qint64 modified = 0;
    qint64 changed = 0;
    quint64 inode = 0;
    friend bool operator==(const FileStamp &, const FileStamp &) = default;
};

// Nothing when the file cannot be examined.
std::optional<FileStamp> fileStamp(const QString &path);

// A file as it was seen at some moment.
struct StampedFile
{
    QString path;
    FileStamp stamp;

    // Whether the file at the path is still the one seen, as it was then.
    bool isUnchanged() const { return fileStamp(path) == stamp; }
};
