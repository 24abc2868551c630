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
    if (key.size() != 24 || !key.endsWith(u"=="))
        return std::nullopt;
    const QByteArray latin1 = key.toLatin1();
    const auto decoded =
        QByteArray::fromBase64Encoding(latin1, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != 16)
        return std::nullopt;
    FaceDigest digest;
    std::memcpy(digest.bytes.data(), decoded.decoded.constData(), 16);
    // Only the canonical text of a digest is a face key (no stray bits in the last character).
    if (faceKey(digest) != key)
        return std::nullopt;
    return digest;
}
