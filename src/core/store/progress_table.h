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
    SavedProgress() = default;
    SavedProgress(qint8 rating, CardFaceProgress progress) : rating(rating), progress(progress) {}

    qint8 rating = 0;
    CardFaceProgress progress = CardFaceProgress::New;
    // The schedule: given back whole.
    std::optional<QDateTime> lastReview;
    std::optional<QDateTime> nextReview;
    std::optional<ReviewMemory> memory;
    friend bool operator==(const SavedProgress &, const SavedProgress &) = default;
};

// The scheduler's memory from the stored values, as both readers find them. Stability and
// difficulty must be numbers (they are brought into their ranges); without them the face is
// new to the scheduler. Missing or negative counts count as none. A value that is not usable
// drops the memory, never the record: its rating and progress still count.
std::optional<ReviewMemory> storedReviewMemory(std::optional<double> stability,
                                               std::optional<double> difficulty,
                                               std::optional<qint64> reviews,
                                               std::optional<qint64> lapses,
                                               std::optional<qint64> learningStep);
// A property-list date (seconds since 2001-01-01 UTC) as an instant; none for a value no
// clock reaches (not finite, or beyond a million years).
std::optional<QDateTime> dateFromReferenceSeconds(double seconds);
// The instant as a property-list date.
double referenceSeconds(const QDateTime &time);

// The saved-progress table of a deck, by face digest. A key of the file that is not the
// base64 text of a 16-byte digest can never match a face, so the table does not hold it.
using ProgressTable = QHash<FaceDigest, SavedProgress>;

FaceDigest faceDigest(QStringView text);
FaceDigest faceDigest(const FaceText &text);
// The 24-character base64 text of the MD5 digest of the text's UTF-8 bytes.
QString faceKey(QStringView text);
QString faceKey(const FaceText &text);
QString faceKey(const FaceDigest &digest);
// The digest a face key stands for; nothing unless it is exactly such a text.
std::optional<FaceDigest> digestFromFaceKey(QStringView key);
