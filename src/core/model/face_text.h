#pragma once

#include <QAnyStringView>
#include <QLatin1StringView>
#include <QString>
#include <QStringView>

#include <atomic>
#include <utility>

// The text of a face, as compact as a deck of millions of faces needs: one pointer wide, and
// one exactly sized block that holds the characters one byte each when every character is
// below U+0100 (as in most decks), else as UTF-16. The empty text has no block. Immutable and
// shared: copies only count references, from any thread.
//
// The form is fixed by the text, so two equal texts always have the same form and bytes.
class FaceText
{
public:
    FaceText() noexcept = default;
    explicit FaceText(QStringView text);
    explicit FaceText(const QString &text) : FaceText(QStringView(text)) {}
    FaceText(const FaceText &other) noexcept : m_block(other.m_block) { retain(); }
    FaceText(FaceText &&other) noexcept : m_block(std::exchange(other.m_block, nullptr)) {}
    FaceText &operator=(const FaceText &other) noexcept
    {
        FaceText copy(other);
        swap(copy);
        return *this;
    }
    FaceText &operator=(FaceText &&other) noexcept
    {
        FaceText taken(std::move(other));
        swap(taken);
        return *this;
    }
    ~FaceText() { release(); }

    void swap(FaceText &other) noexcept { std::swap(m_block, other.m_block); }

    // The length in UTF-16 code units, as QString counts it.
    qsizetype size() const noexcept;
    bool isEmpty() const noexcept { return m_block == nullptr; }
    // Every character below U+0100: the text is held one byte each (the empty text too).
    bool isLatin1() const noexcept { return !m_block || !(m_block->word & wideFlag); }
    // Every character below U+0080: the bytes are the text's UTF-8 form.
    bool isAscii() const noexcept { return !m_block || (m_block->word & asciiFlag); }

    // The characters without a copy, in the form they are held in.
    QLatin1StringView latin1() const noexcept; // only when isLatin1()
    QStringView utf16() const noexcept;        // only when !isLatin1()
    QAnyStringView view() const noexcept
    {
        return isLatin1() ? QAnyStringView(latin1()) : QAnyStringView(utf16());
    }
    // Calls `f` with the characters as a QLatin1StringView or a QStringView.
    template <typename F> decltype(auto) visit(F &&f) const
    {
        if (isLatin1())
            return f(latin1());
        return f(utf16());
    }

    QString toString() const;

    friend bool operator==(const FaceText &a, const FaceText &b) noexcept;
    friend bool operator==(const FaceText &a, QStringView b) noexcept
    {
        return QAnyStringView::equal(a.view(), b);
    }

private:
    // The header of a block; the characters follow it, or follow the size of a text too long
    // for the word.
    struct Block
    {
        std::atomic<quint32> ref;
        quint32 word; // the size, shifted past the flags
    };
    static constexpr quint32 wideFlag = 1;
    static constexpr quint32 asciiFlag = 2;
    static constexpr int sizeShift = 2;
    static constexpr quint32 longSize = ~quint32(0) >> sizeShift;

    static Block *allocate(qsizetype size, bool wide);
    static void destroy(Block *block) noexcept;
    static const void *charsOf(const Block *block) noexcept;
    void retain() const noexcept
    {
        if (m_block)
            m_block->ref.fetch_add(1, std::memory_order_relaxed);
    }
    void release() noexcept;

    Block *m_block = nullptr;
};
Q_DECLARE_TYPEINFO(FaceText, Q_RELOCATABLE_TYPE);

size_t qHash(const FaceText &text, size_t seed = 0) noexcept;
