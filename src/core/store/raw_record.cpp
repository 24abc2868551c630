#include "core/store/raw_record.h"

#include "core/store/stored_face_fields.h"

#include <QtEndian>

#include <cstring>

namespace {

constexpr qsizetype faceKeyLength = 24;

void copyUnits(const RawString &string, char16_t *out)
{
    const auto *bytes = static_cast<const uchar *>(string.data);
    switch (string.encoding) {
    case RawString::Latin1:
        for (qsizetype i = 0; i < string.size; ++i)
            out[i] = char16_t(bytes[i]);
        break;
    case RawString::Utf16BigEndian:
        for (qsizetype i = 0; i < string.size; ++i)
            out[i] = qFromBigEndian<quint16>(bytes + 2 * i);
        break;
    case RawString::Utf16:
        std::memcpy(out, string.data, size_t(string.size) * 2);
        break;
    }
}

} // namespace

QString RawString::toString() const
{
    QString text(size, Qt::Uninitialized);
    copyUnits(*this, reinterpret_cast<char16_t *>(text.data()));
    return text;
}

void RawString::copyTo(char16_t *out) const
{
    copyUnits(*this, out);
}

QByteArray RawString::toBytes() const
{
    return QByteArray(static_cast<const char *>(data), size);
}

bool RawString::equals(std::string_view ascii) const
{
    if (size != qsizetype(ascii.size()))
        return false;
    const auto *bytes = static_cast<const uchar *>(data);
    switch (encoding) {
    case Latin1:
        return std::memcmp(bytes, ascii.data(), ascii.size()) == 0;
    case Utf16BigEndian:
        for (qsizetype i = 0; i < size; ++i) {
            if (qFromBigEndian<quint16>(bytes + 2 * i) != quint16(uchar(ascii[size_t(i)])))
                return false;
        }
        return true;
    case Utf16:
        return QStringView(static_cast<const char16_t *>(data), size) ==
               QLatin1StringView(ascii.data(), qsizetype(ascii.size()));
    }
    return false;
}

std::optional<FaceDigest> RawString::faceDigest() const
{
    // Face keys are short: looked at without making a string on the heap.
    if (size != faceKeyLength)
        return std::nullopt;
    char16_t units[faceKeyLength];
    copyUnits(*this, units);
    return digestFromFaceKey(QStringView(units, faceKeyLength));
}

bool OtherKeys::wants(const RawString &key)
{
    if (quint64(key.size) > m_budget) {
        m_refused = true;
        return true;
    }
    m_budget -= quint64(key.size);
    m_key = key.toString();
    return !m_keys.contains(m_key);
}

std::optional<SavedProgress> savedProgressOf(std::span<const RawField> fields)
{
    using Type = RawValue::Type;
    // The last of duplicate names counts.
    const RawValue *values[FieldCount] = {};
    for (const RawField &field : fields) {
        if (field.faceField >= 0)
            values[field.faceField] = &field.value;
    }
    const auto is = [&](StoredFaceField field, Type type) {
        return values[field] && values[field]->type == type;
    };
    const auto absentOr = [&](StoredFaceField field, Type type) {
        return !values[field] || values[field]->type == type;
    };
    const auto integerIn = [&](StoredFaceField field, qint64 low, qint64 high) {
        return is(field, Type::Integer) && values[field]->integer >= low &&
               values[field]->integer <= high;
    };
    if (!is(IdField, Type::String) || !is(TextField, Type::String) ||
        !absentOr(CardFaceIdField, Type::Integer) || !absentOr(LastReviewField, Type::Date) ||
        !absentOr(NextReviewField, Type::Date) || !integerIn(ProgressRankField, 0, 255) ||
        !integerIn(RatingField, -128, 127) || !is(ProgressField, Type::String))
        return std::nullopt;
    std::optional<CardFaceProgress> progress;
    for (CardFaceProgress candidate : allCardFaceProgresses) {
        if (values[ProgressField]->string.equals(cardFaceProgressRawValues[int(candidate)]))
            progress = candidate;
    }
    if (!progress)
        return std::nullopt;

    SavedProgress result(qint8(values[RatingField]->integer), *progress);
    if (values[LastReviewField])
        result.lastReview = dateFromReferenceSeconds(values[LastReviewField]->real);
    if (values[NextReviewField])
        result.nextReview = dateFromReferenceSeconds(values[NextReviewField]->real);
    const auto number = [&](StoredFaceField field) -> std::optional<double> {
        if (is(field, Type::Integer))
            return double(values[field]->integer);
        if (is(field, Type::Real))
            return values[field]->real;
        return std::nullopt;
    };
    const auto integer = [&](StoredFaceField field) -> std::optional<qint64> {
        if (is(field, Type::Integer))
            return values[field]->integer;
        return std::nullopt;
    };
    result.memory =
        storedReviewMemory(number(StabilityField), number(DifficultyField), integer(ReviewsField),
                           integer(LapsesField), integer(LearningStepField));
    return result;
}
