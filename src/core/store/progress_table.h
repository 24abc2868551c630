#pragma once

#include "core/model/records.h"

#include <QHash>

#include <array>

// The MD5 digest of a face's text: what a face key encodes.
struct FaceDigest
{
    std::array<quint8, 16> bytes{};
    friend bool operator==(const FaceDigest &, const FaceDigest &) = default;
};
size_t qHash(const FaceDigest &digest, size_t seed = 0) noexcept;

// What a saved record gives back to a freshly read face.
struct SavedProgress
{
    qint8 rating = 0;
    CardFaceProgress progress = CardFaceProgress::New;
    friend bool operator==(const SavedProgress &, const SavedProgress &) = default;
};

// The saved-progress table of a deck, by face digest. A key of the file that is not the
// base64 text of a 16-byte digest can never match a face, so the table does not hold it.
using ProgressTable = QHash<FaceDigest, SavedProgress>;

FaceDigest faceDigest(QStringView text);
// The 24-character base64 text of the MD5 digest of the text's UTF-8 bytes.
QString faceKey(QStringView text);
QString faceKey(const FaceDigest &digest);
// The digest a face key stands for; nothing unless it is exactly such a text.
std::optional<FaceDigest> digestFromFaceKey(QStringView key);
