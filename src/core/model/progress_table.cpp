#include "core/model/progress_table.h"

#include <QCryptographicHash>

#include <cstring>

size_t qHash(const FaceDigest &digest, size_t seed) noexcept
{
    // The digest is already uniformly distributed: its first word is a good hash.
    quint64 word;
    std::memcpy(&word, digest.bytes.data(), sizeof word);
    return size_t(word) ^ seed;
}

FaceDigest faceDigest(QStringView text)
{
    const QByteArray utf8 = text.toUtf8();
    QCryptographicHash md5(QCryptographicHash::Md5);
    md5.addData(utf8);
    const QByteArray result = md5.result();
    FaceDigest digest;
    std::memcpy(digest.bytes.data(), result.constData(), digest.bytes.size());
    return digest;
}

QString faceKey(const FaceDigest &digest)
{
    const QByteArray raw(reinterpret_cast<const char *>(digest.bytes.data()),
                         qsizetype(digest.bytes.size()));
    return QString::fromLatin1(raw.toBase64());
}

QString faceKey(QStringView text)
{
    return faceKey(faceDigest(text));
}

std::optional<FaceDigest> digestFromFaceKey(QStringView key)
{
    // Decoded by hand: a large progress file has a quarter of a million keys, and this runs
    // for each of them without touching the heap.
    if (key.size() != 24 || key[22] != u'=' || key[23] != u'=')
        return std::nullopt;
    const auto sextet = [](char16_t c) -> int {
        if (c >= u'A' && c <= u'Z')
            return c - u'A';
        if (c >= u'a' && c <= u'z')
            return c - u'a' + 26;
        if (c >= u'0' && c <= u'9')
            return c - u'0' + 52;
        if (c == u'+')
            return 62;
        if (c == u'/')
            return 63;
        return -1;
    };
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
