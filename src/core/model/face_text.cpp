#include "core/model/face_text.h"

#include <QHashFunctions>

#include <cstdlib>
#include <cstring>
#include <new>

FaceText::FaceText(QStringView text)
{
    const qsizetype size = text.size();
    if (size == 0)
        return;
    // Narrowed in one pass while every character is looked at; the rare text with a character
    // beyond Latin-1 is then copied whole instead.
    const char16_t *from = text.utf16();
    Block *block = allocate(size, false);
    char *to = static_cast<char *>(const_cast<void *>(charsOf(block)));
    char16_t seen = 0;
    for (qsizetype i = 0; i < size; ++i) {
        seen |= from[i];
        to[i] = char(from[i]);
    }
    if (seen > 0xFF) {
        destroy(block);
        block = allocate(size, true);
        std::memcpy(const_cast<void *>(charsOf(block)), from, size_t(size) * sizeof(char16_t));
    } else if (seen < 0x80) {
        block->word |= asciiFlag;
    }
    m_block = block;
}

FaceText::Block *FaceText::allocate(qsizetype size, bool wide)
{
    const bool isLong = quint64(size) >= longSize;
    const size_t header = sizeof(Block) + (isLong ? sizeof(qint64) : 0);
    void *memory = std::malloc(header + size_t(size) * (wide ? 2 : 1));
    if (!memory)
        throw std::bad_alloc();
    Block *block = new (memory) Block;
    block->ref.store(1, std::memory_order_relaxed);
    block->word = (isLong ? longSize : quint32(size)) << sizeShift | (wide ? wideFlag : 0);
    if (isLong) {
        const qint64 longBlockSize = size;
        std::memcpy(reinterpret_cast<char *>(block) + sizeof(Block), &longBlockSize,
                    sizeof longBlockSize);
    }
    return block;
}

void FaceText::destroy(Block *block) noexcept
{
    block->~Block();
    std::free(block);
}

const void *FaceText::charsOf(const Block *block) noexcept
{
    const bool isLong = (block->word >> sizeShift) == longSize;
    return reinterpret_cast<const char *>(block) + sizeof(Block) + (isLong ? sizeof(qint64) : 0);
}

void FaceText::release() noexcept
{
    if (m_block && m_block->ref.fetch_sub(1, std::memory_order_acq_rel) == 1)
        destroy(m_block);
    m_block = nullptr;
}

qsizetype FaceText::size() const noexcept
{
    if (!m_block)
        return 0;
    const quint32 size = m_block->word >> sizeShift;
    if (size != longSize)
        return size;
    qint64 longBlockSize;
    std::memcpy(&longBlockSize, m_block + 1, sizeof longBlockSize);
    return longBlockSize;
}

QLatin1StringView FaceText::latin1() const noexcept
{
    Q_ASSERT(isLatin1());
    if (!m_block)
        return {};
    return QLatin1StringView(static_cast<const char *>(charsOf(m_block)), size());
}

QStringView FaceText::utf16() const noexcept
{
    Q_ASSERT(!isLatin1());
    return QStringView(static_cast<const char16_t *>(charsOf(m_block)), size());
}

QString FaceText::toString() const
{
    if (isLatin1())
        return QString(latin1());
    return utf16().toString();
}

bool operator==(const FaceText &a, const FaceText &b) noexcept
{
    if (a.m_block == b.m_block)
        return true;
    if (!a.m_block || !b.m_block || a.m_block->word != b.m_block->word)
        return false;
    const qsizetype size = a.size();
    if (size != b.size())
        return false;
    const size_t bytes = size_t(size) * (a.isLatin1() ? 1 : 2);
    return std::memcmp(FaceText::charsOf(a.m_block), FaceText::charsOf(b.m_block), bytes) == 0;
}

size_t qHash(const FaceText &text, size_t seed) noexcept
{
    // Equal texts are held alike, so their bytes hash alike.
    return text.visit([seed](auto chars) {
        return qHashBits(chars.data(), size_t(chars.size()) * sizeof(*chars.data()), seed);
    });
}
