#include "core/store/progress_table.h"

#include <QCryptographicHash>
#include <QStringEncoder>

#include <algorithm>
#include <cmath>
#include <cstring>

size_t qHash(const FaceDigest &digest, size_t seed) noexcept
{
    // The digest is already uniformly distributed: its first word is a good hash.
    quint64 word;
    std::memcpy(&word, digest.bytes.data(), sizeof word);
    return size_t(word) ^ seed;
}

namespace {

FaceDigest md5Of(QByteArrayView bytes)
{
    // Every face of a deck is digested at each load and save: reuse the hash of this thread
    // instead of making one a quarter of a million times.
    thread_local QCryptographicHash md5(QCryptographicHash::Md5);
    md5.reset();
    md5.addData(bytes);
    const QByteArrayView result = md5.resultView();
    FaceDigest digest;
    std::memcpy(digest.bytes.data(), result.data(), digest.bytes.size());
    return digest;
}

// A buffer of this thread for the UTF-8 form of a text, reused from face to face.
QByteArray &utf8Buffer(qsizetype size)
{
    thread_local QByteArray utf8;
    if (utf8.size() < size)
        utf8.resize(size);
    return utf8;
}

} // namespace

FaceDigest faceDigest(QStringView text)
{
    QStringEncoder encoder(QStringEncoder::Utf8);
    QByteArray &utf8 = utf8Buffer(encoder.requiredSpace(text.size()));
    char *end = encoder.appendToBuffer(utf8.data(), text);
    return md5Of(QByteArrayView(utf8.constData(), end - utf8.constData()));
}

FaceDigest faceDigest(const FaceText &text)
{
    if (!text.isLatin1())
        return faceDigest(text.utf16());
    const QLatin1StringView latin1 = text.latin1();
    // ASCII is its own UTF-8 form, as most faces are.
    if (text.isAscii())
        return md5Of(QByteArrayView(latin1.data(), latin1.size()));
    QByteArray &utf8 = utf8Buffer(2 * latin1.size());
    char *to = utf8.data();
    for (const char c : latin1) {
        const uchar u = uchar(c);
        if (u < 0x80) {
            *to++ = char(u);
        } else {
            *to++ = char(0xC0 | (u >> 6));
            *to++ = char(0x80 | (u & 0x3F));
        }
    }
    return md5Of(QByteArrayView(utf8.constData(), to - utf8.constData()));
}

QString faceKey(const FaceDigest &digest)
{
    static constexpr char16_t alphabet[] =
        u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    QString key(24, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(key.data());
    const auto &in = digest.bytes;
    for (int i = 0; i < 15; i += 3) {
        const quint32 group = quint32(in[i]) << 16 | quint32(in[i + 1]) << 8 | in[i + 2];
        *out++ = alphabet[group >> 18];
        *out++ = alphabet[(group >> 12) & 0x3F];
        *out++ = alphabet[(group >> 6) & 0x3F];
        *out++ = alphabet[group & 0x3F];
    }
    *out++ = alphabet[in[15] >> 2];
    *out++ = alphabet[(in[15] & 0x03) << 4];
    *out++ = u'=';
    *out = u'=';
    return key;
}

QString faceKey(QStringView text)
{
    return faceKey(faceDigest(text));
}

QString faceKey(const FaceText &text)
{
    return faceKey(faceDigest(text));
}

std::optional<FaceDigest> digestFromFaceKey(QStringView key)
{
    // Decoded by hand: a large progress file has a quarter of a million keys, and this runs
    // for each of them without touching the heap.
    if (key.size() != 24 || key[22] != u'=' || key[23] != u'=')
        return std::nullopt;
    // A table, not comparisons: the characters of digests are random, and branches on them
    // would be mispredicted at nearly every character.
    static constexpr auto sextets = [] {
        std::array<qint8, 128> table{};
        table.fill(-1);
        for (int i = 0; i < 26; ++i) {
            table['A' + i] = qint8(i);
            table['a' + i] = qint8(26 + i);
        }
        for (int i = 0; i < 10; ++i)
            table['0' + i] = qint8(52 + i);
        table['+'] = 62;
        table['/'] = 63;
        return table;
    }();
    const auto sextet = [](char16_t c) -> int { return c < 128 ? sextets[c] : -1; };
    int values[22];
    for (int i = 0; i < 22; ++i) {
        values[i] = sextet(key[i].unicode());
        if (values[i] < 0)
            return std::nullopt;
    }
    // Only the canonical text of a digest is a face key: no stray bits in the last character.
    if (values[21] & 0x0F)
        return std::nullopt;
    FaceDigest digest;
    int byte = 0;
    for (int i = 0; i + 3 < 22; i += 4) {
        const quint32 group = quint32(values[i]) << 18 | quint32(values[i + 1]) << 12 |
                              quint32(values[i + 2]) << 6 | quint32(values[i + 3]);
        digest.bytes[byte++] = quint8(group >> 16);
        digest.bytes[byte++] = quint8(group >> 8);
        digest.bytes[byte++] = quint8(group);
    }
    digest.bytes[15] = quint8(values[20] << 2 | values[21] >> 4);
    return digest;
}

std::optional<ReviewMemory> storedReviewMemory(std::optional<double> stability,
                                               std::optional<double> difficulty,
                                               std::optional<qint64> reviews,
                                               std::optional<qint64> lapses,
                                               std::optional<qint64> learningStep)
{
    if (!stability || !difficulty || !std::isfinite(*stability) || !std::isfinite(*difficulty) ||
        *stability <= 0)
        return std::nullopt;
    ReviewMemory memory;
    memory.stability = std::clamp(*stability, 0.001, 36500.0);
    memory.difficulty = std::clamp(*difficulty, 1.0, 10.0);
    memory.reviews = std::max<qint64>(reviews.value_or(0), 0);
    memory.lapses = std::max<qint64>(lapses.value_or(0), 0);
    if (learningStep)
        memory.learningStep = std::max<qint64>(*learningStep, 0);
    return memory;
}

namespace {

// Seconds from the Unix epoch to 2001-01-01T00:00:00Z, the origin of property-list dates.
constexpr double referenceDateOffset = 978307200.0;

} // namespace

double referenceSeconds(const QDateTime &time)
{
    return double(time.toMSecsSinceEpoch()) / 1000.0 - referenceDateOffset;
}

std::optional<QDateTime> dateFromReferenceSeconds(double seconds)
{
    constexpr double limit = 1e6 * 366 * 86400;
    if (!std::isfinite(seconds) || std::abs(seconds) > limit)
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(
        qint64(std::llround((seconds + referenceDateOffset) * 1000)), Qt::UTC);
}
