#include "core/store/file_stamp.h"

#include <QFile>

#include <sys/stat.h>

std::optional<FileStamp> fileStamp(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return FileStamp{
        qint64(info.st_size), qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
        qint64(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec, quint64(info.st_ino)};
}
