#pragma once

#include <QByteArrayView>
#include <QString>

#include <memory>

// A regular file mapped read-only and private, for a big file that is walked once: its pages
// come from the page cache without a copy, and the walk can let go of the pages it has gone
// past. A file replaced meanwhile (renamed over) does not change the mapping: it keeps the
// bytes of the file it was made of. A file cut short in place while mapped does not crash the
// process: the bytes it lost read as zeros, and wasCut() tells so.
class MappedFile
{
public:
    // The file at path mapped, when it is a regular file of at most maxSize bytes, not empty,
    // that can be opened and mapped; nothing otherwise (read it as readFileSafely reads it, for
    // its reason).
    static std::unique_ptr<MappedFile> map(const QString &path, qint64 maxSize);
    ~MappedFile();
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    QByteArrayView bytes() const;
    // Lets the whole pages of [from, to) go; touched again, they are read again.
    void release(qsizetype from, qsizetype to);
    // Maps the pages of [from, to) at once, ahead of a walk that reads them: one call in place
    // of a page fault every few pages. Where the system cannot, it is only asked to read them
    // soon. Pages the file no longer has are left alone.
    void fetch(qsizetype from, qsizetype to);
    // Whether the file lost bytes while they were mapped: what was read is not the file.
    bool wasCut() const;

private:
    MappedFile(const void *data, qsizetype size, int slot);

    const void *m_data;
    qsizetype m_size;
    int m_slot;
};
