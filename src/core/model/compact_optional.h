#pragma once

#include <QDateTime>
#include <QtGlobal>

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>

// Optional values that a face holds in less room than std::optional, for decks of millions of
// faces. Each reads like std::optional (has_value, *, ->, value_or) and converts to and from it.

// An integer or none, in the room of the integer: the smallest qint64 stands for none, so it is
// the one value that cannot be held (assigning it gives none, which a caller that takes values
// from a file checks).
class OptionalInteger
{
public:
    constexpr OptionalInteger() = default;
    constexpr OptionalInteger(std::nullopt_t) {}
    constexpr OptionalInteger(qint64 value) : m_value(value) {}
    constexpr OptionalInteger(const std::optional<qint64> &value) : m_value(value.value_or(none)) {}

    constexpr bool has_value() const { return m_value != none; }
    constexpr explicit operator bool() const { return has_value(); }
    constexpr qint64 operator*() const { return m_value; }
    constexpr qint64 value() const
    {
        Q_ASSERT(has_value());
        return m_value;
    }
    constexpr qint64 value_or(qint64 fallback) const { return has_value() ? m_value : fallback; }
    constexpr void reset() { m_value = none; }
    constexpr operator std::optional<qint64>() const
    {
        return has_value() ? std::optional<qint64>(m_value) : std::nullopt;
    }

    friend constexpr bool operator==(OptionalInteger, OptionalInteger) = default;

private:
    static constexpr qint64 none = std::numeric_limits<qint64>::min();
    qint64 m_value = none;
};

// A point in time or none, as milliseconds since 1970 UTC, which is all a QDateTime tells of an
// instant: a date comes back in UTC, equal to the one given. An invalid QDateTime stays invalid.
// The two smallest counts mark none and invalid; an instant there (292 million years ago) is
// kept a millisecond later.
class OptionalInstant
{
public:
    constexpr OptionalInstant() = default;
    constexpr OptionalInstant(std::nullopt_t) {}
    OptionalInstant(const QDateTime &time) : m_msecs(pack(time)) {}
    OptionalInstant(const std::optional<QDateTime> &time) : m_msecs(time ? pack(*time) : none) {}

    constexpr bool has_value() const { return m_msecs != none; }
    constexpr explicit operator bool() const { return has_value(); }
    QDateTime operator*() const { return unpack(m_msecs); }
    QDateTime value() const
    {
        Q_ASSERT(has_value());
        return unpack(m_msecs);
    }
    QDateTime value_or(const QDateTime &fallback) const
    {
        return has_value() ? unpack(m_msecs) : fallback;
    }
    constexpr void reset() { m_msecs = none; }
    operator std::optional<QDateTime>() const
    {
        return has_value() ? std::optional<QDateTime>(unpack(m_msecs)) : std::nullopt;
    }

    // The date made on demand, so that face.lastReview->toMSecsSinceEpoch() reads as before.
    class Arrow
    {
    public:
        explicit Arrow(QDateTime time) : m_time(std::move(time)) {}
        const QDateTime *operator->() const { return &m_time; }

    private:
        QDateTime m_time;
    };
    Arrow operator->() const { return Arrow(unpack(m_msecs)); }

    // Milliseconds since 1970 UTC without making a QDateTime; only for a held valid instant.
    constexpr qint64 msecsSinceEpoch() const { return m_msecs; }

    friend constexpr bool operator==(OptionalInstant, OptionalInstant) = default;

private:
    static constexpr qint64 none = std::numeric_limits<qint64>::min();
    static constexpr qint64 invalid = none + 1;

    static qint64 pack(const QDateTime &time)
    {
        if (time.isValid())
            return std::max(time.toMSecsSinceEpoch(), invalid + 1);
        // A local time that a time zone skips is invalid, yet Qt still gives it an instant in UTC.
        const QDateTime utc = time.toUTC();
        return utc.isValid() ? std::max(utc.toMSecsSinceEpoch(), invalid + 1) : invalid;
    }
    static QDateTime unpack(qint64 msecs)
    {
        if (msecs == invalid)
            return QDateTime();
        return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
    }

    qint64 m_msecs = none;
};

// A value or none, kept on the heap: the room of one pointer while there is none, as for most
// faces of a big deck. Copies are deep, as std::optional's are.
template <typename T> class BoxedOptional
{
public:
    BoxedOptional() = default;
    BoxedOptional(std::nullopt_t) {}
    BoxedOptional(const T &value) : m_value(std::make_unique<T>(value)) {}
    BoxedOptional(const std::optional<T> &value)
        : m_value(value ? std::make_unique<T>(*value) : nullptr)
    {
    }
    BoxedOptional(const BoxedOptional &other)
        : m_value(other.m_value ? std::make_unique<T>(*other.m_value) : nullptr)
    {
    }
    BoxedOptional(BoxedOptional &&) noexcept = default;
    BoxedOptional &operator=(const BoxedOptional &other)
    {
        if (this != &other)
            *this = other.m_value ? BoxedOptional(*other.m_value) : BoxedOptional();
        return *this;
    }
    BoxedOptional &operator=(BoxedOptional &&) noexcept = default;
    ~BoxedOptional() = default;

    bool has_value() const { return bool(m_value); }
    explicit operator bool() const { return has_value(); }
    const T &operator*() const { return *m_value; }
    T &operator*() { return *m_value; }
    const T *operator->() const { return m_value.get(); }
    T *operator->() { return m_value.get(); }
    const T &value() const
    {
        Q_ASSERT(m_value);
        return *m_value;
    }
    T value_or(const T &fallback) const { return m_value ? *m_value : fallback; }
    void reset() { m_value.reset(); }
    operator std::optional<T>() const
    {
        return m_value ? std::optional<T>(*m_value) : std::nullopt;
    }

    friend bool operator==(const BoxedOptional &a, const BoxedOptional &b)
    {
        return a.m_value && b.m_value ? *a.m_value == *b.m_value : !a.m_value && !b.m_value;
    }
    friend bool operator==(const BoxedOptional &a, const std::optional<T> &b)
    {
        return a.m_value && b ? *a.m_value == *b : !a.m_value && !b;
    }
    friend bool operator==(const BoxedOptional &a, const T &b)
    {
        return a.m_value && *a.m_value == b;
    }

private:
    std::unique_ptr<T> m_value;
};
