#include "core/store/mapped_file.h"

#include <QFile>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <mutex>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The mappings whose lost bytes the bus-error handler stands in for. Read by the handler,
// which may take no lock: a range is published by its end, after its start.
struct Guarded
{
    std::atomic<quintptr> begin{0};
    std::atomic<quintptr> end{0};
    std::atomic<bool> cut{false};
    std::atomic<bool> taken{false};
};
std::array<Guarded, 16> guarded;
quintptr pageSize = 4096;
// Cleared once the system turns down mapping pages ahead (before Linux 5.14).
std::atomic<bool> canPopulate{true};
struct sigaction previousBusAction;
std::once_flag handlerInstalled;

void onBusError(int signal, siginfo_t *info, void *context)
{
    const auto address = reinterpret_cast<quintptr>(info->si_addr);
    for (Guarded &range : guarded) {
        const quintptr end = range.end.load(std::memory_order_acquire);
        if (end == 0 || address < range.begin.load(std::memory_order_relaxed) || address >= end)
            continue;
        // A page of zeros in place of the page the file no longer has; the access is made again
        // when the handler returns.
        void *page = reinterpret_cast<void *>(address & ~(pageSize - 1));
        if (::mmap(page, size_t(pageSize), PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1,
                   0) != MAP_FAILED) {
            range.cut.store(true, std::memory_order_relaxed);
            return;
        }
    }
    // Not ours: whatever was there before handles it.
    if (previousBusAction.sa_flags & SA_SIGINFO) {
        previousBusAction.sa_sigaction(signal, info, context);
        return;
    }
    if (previousBusAction.sa_handler != SIG_DFL && previousBusAction.sa_handler != SIG_IGN) {
        previousBusAction.sa_handler(signal);
        return;
    }
    // The default action, when the access is made again.
    struct sigaction standard = {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    ::sigaction(SIGBUS, &standard, nullptr);
}

void installHandler()
{
    pageSize = quintptr(::sysconf(_SC_PAGESIZE));
    struct sigaction action = {};
    action.sa_sigaction = onBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &previousBusAction);
}

} // namespace

std::unique_ptr<MappedFile> MappedFile::map(const QString &path, qint64 maxSize)
{
    const QByteArray encoded = QFile::encodeName(path);
    struct stat info;
    // Looked at before opening, as anything but a regular file is never opened.
    if (::stat(encoded.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return nullptr;
    // Non-blocking all the same: the path may have been replaced since.
    const int fd = ::open(encoded.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return nullptr;
    void *data = MAP_FAILED;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 &&
        info.st_size <= maxSize)
        data = ::mmap(nullptr, size_t(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd); // the mapping keeps the file
    if (data == MAP_FAILED)
        return nullptr;
    std::call_once(handlerInstalled, installHandler);
    for (int slot = 0; slot < int(guarded.size()); ++slot) {
        bool free = false;
        if (!guarded[size_t(slot)].taken.compare_exchange_strong(free, true))
            continue;
        Guarded &range = guarded[size_t(slot)];
        range.cut.store(false);
        range.begin.store(reinterpret_cast<quintptr>(data));
        range.end.store(reinterpret_cast<quintptr>(data) + quintptr(info.st_size),
                        std::memory_order_release);
        // Read soon, from the end to the start: ask for all of it now.
        ::madvise(data, size_t(info.st_size), MADV_WILLNEED);
        return std::unique_ptr<MappedFile>(new MappedFile(data, qsizetype(info.st_size), slot));
    }
    // Too many at once to guard: read it instead.
    ::munmap(data, size_t(info.st_size));
    return nullptr;
}

MappedFile::MappedFile(const void *data, qsizetype size, int slot)
    : m_data(data), m_size(size), m_slot(slot)
{
}

MappedFile::~MappedFile()
{
    Guarded &range = guarded[size_t(m_slot)];
    range.end.store(0, std::memory_order_release);
    range.begin.store(0);
    ::munmap(const_cast<void *>(m_data), size_t(m_size));
    range.taken.store(false, std::memory_order_release);
}

QByteArrayView MappedFile::bytes() const
{
    return QByteArrayView(static_cast<const char *>(m_data), m_size);
}

void MappedFile::release(qsizetype from, qsizetype to)
{
    const auto start = (reinterpret_cast<quintptr>(m_data) +
                        quintptr(std::max<qsizetype>(from, 0)) + pageSize - 1) &
                       ~(pageSize - 1);
    const auto end =
        (reinterpret_cast<quintptr>(m_data) + quintptr(std::min(to, m_size))) & ~(pageSize - 1);
    if (start < end)
        ::madvise(reinterpret_cast<void *>(start), size_t(end - start), MADV_DONTNEED);
}

void MappedFile::fetch(qsizetype from, qsizetype to)
{
    const auto start =
        (reinterpret_cast<quintptr>(m_data) + quintptr(std::max<qsizetype>(from, 0))) &
        ~(pageSize - 1);
    const auto end = reinterpret_cast<quintptr>(m_data) + quintptr(std::min(to, m_size));
    if (start >= end)
        return;
    void *const first = reinterpret_cast<void *>(start);
    if (canPopulate.load(std::memory_order_relaxed)) {
        // Fails on pages past the end of a file cut short: they are not touched.
        if (::madvise(first, size_t(end - start), MADV_POPULATE_READ) == 0 || errno != EINVAL)
            return;
        canPopulate.store(false, std::memory_order_relaxed);
    }
    ::madvise(first, size_t(end - start), MADV_WILLNEED);
}

bool MappedFile::wasCut() const
{
    return guarded[size_t(m_slot)].cut.load();
}
