#include "core/store/stored_record.h"

#include "core/store/raw_record.h"
#include "core/store/stored_face_fields.h"

#include <QDateTime>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace {

// Seconds from the Unix epoch to 2001-01-01T00:00:00Z, the origin of property-list dates.
constexpr double referenceDateOffset = 978307200.0;

void setField(QList<StoredField> &fields, QString name, StoredValue value)
{
    for (StoredField &field : fields) {
        if (field.name == name) {
            field.value = std::move(value);
            return;
        }
    }
    fields.append({std::move(name), std::move(value)});
}

// The UUID of the identifier text that a face writes (upper-case hexadecimal digits, grouped
// 8-4-4-4-12); nothing for any other text, which is kept as it is.
std::optional<QUuid> uuidOf(const RawString &text)
{
    if (text.size != 36)
        return std::nullopt;
    char16_t units[36];
    text.copyTo(units);
    uchar bytes[16];
    int byte = 0;
    for (int i = 0; i < 36;) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (units[i++] != u'-')
                return std::nullopt;
            continue;
        }
        int value = 0;
        for (int half = 0; half < 2; ++half, ++i) {
            const char16_t c = units[i];
            const int digit = c >= u'0' && c <= u'9'   ? c - u'0'
                              : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                                       : -1;
            if (digit < 0)
                return std::nullopt;
            value = value << 4 | digit;
        }
        bytes[byte++] = uchar(value);
    }
    return QUuid::fromRfc4122(QByteArrayView(bytes, 16));
}

// The fields of a record as it is kept and written back: every value that is a plain scalar,
// the last of duplicate names at the place of the first.
class StoredRecordReader final : public RawRecordVisitor
{
public:
    StoredRecordReader(qsizetype fileSize, const QSet<FaceDigest> *only, bool asFaces = false)
        // Strings are made for every record: bounded like the walk itself.
        : m_budget(4 * quint64(fileSize) + 1024), m_only(only), m_asFaces(asFaces)
    {
        if (!only)
            m_seen.reserve(fileSize / 192);
    }

    bool wants(const RawString &key) override
    {
        m_digest = key.faceDigest();
        if (m_digest)
            return (!m_only || m_only->contains(*m_digest)) && !m_seen.contains(*m_digest);
        if (m_only)
            return false;
        std::optional<QString> text = string(key);
        if (!text)
            return true; // and refused by the record that follows
        m_key = *std::move(text);
        return !m_otherKeys.contains(m_key);
    }

    bool record(const RawString &, quint64 record, bool shared,
                std::span<const RawField> fields) override
    {
        if (m_refused || !savedProgressOf(fields))
            return false;
        if (m_asFaces && m_digest && !shared) {
            std::optional<StoredFace> face = faceRecord(fields);
            if (m_refused)
                return false;
            if (face) {
                face->key = faceKey(*m_digest);
                m_seen.insert(*m_digest);
                m_faces.append(*std::move(face));
                return true;
            }
        }
        QList<StoredField> kept;
        kept.reserve(qsizetype(fields.size()));
        QHash<QString, qsizetype> places; // for records too long to search
        for (const RawField &field : fields) {
            std::optional<StoredValue> value = storedValue(field.value);
            // A value that is no scalar cannot be written back; the rest of the record can.
            if (!value)
                continue;
            std::optional<QString> name = fieldName(field.name);
            if (!name)
                return false;
            if (fields.size() <= 32) {
                setField(kept, *std::move(name), *std::move(value));
                continue;
            }
            const auto at = places.constFind(*name);
            if (at != places.cend()) {
                kept[*at].value = *std::move(value);
            } else {
                places.insert(*name, kept.size());
                kept.append({*std::move(name), *std::move(value)});
            }
        }
        if (shared)
            m_shared.insert(record, kept);
        add(std::move(kept));
        return true;
    }

    bool sharedRecord(const RawString &, quint64 record) override
    {
        const auto it = m_shared.constFind(record);
        if (m_refused || it == m_shared.cend())
            return false;
        add(*it);
        return true;
    }

    // In file order.
    QList<StoredRecord> take()
    {
        std::reverse(m_records.begin(), m_records.end());
        return std::move(m_records);
    }
    QList<StoredFace> takeFaces()
    {
        std::reverse(m_faces.begin(), m_faces.end());
        return std::move(m_faces);
    }

private:
    void add(QList<StoredField> fields)
    {
        if (m_digest) {
            m_seen.insert(*m_digest);
            m_records.append({faceKey(*m_digest), std::move(fields)});
        } else {
            m_otherKeys.insert(m_key);
            m_records.append({m_key, std::move(fields)});
        }
    }

    std::optional<QString> string(const RawString &raw)
    {
        if (quint64(raw.size) > m_budget) {
            m_refused = true;
            return std::nullopt;
        }
        m_budget -= quint64(raw.size);
        return raw.toString();
    }

    // Names and short values repeat from record to record: where the file shares them, they
    // are made once and shared here too.
    std::optional<QString> sharedString(const RawString &raw)
    {
        if (raw.encoding == RawString::Utf16)
            return string(raw);
        const auto it = m_strings.constFind(raw.data);
        if (it != m_strings.cend())
            return *it;
        std::optional<QString> text = string(raw);
        if (text)
            m_strings.insert(raw.data, *text);
        return text;
    }

    std::optional<QString> fieldName(const RawString &raw) { return sharedString(raw); }

    std::optional<StoredValue> storedValue(const RawValue &value)
    {
        switch (value.type) {
        case RawValue::Type::Integer:
            return StoredValue(value.integer);
        case RawValue::Type::Real:
            return StoredValue(value.real);
        case RawValue::Type::Boolean:
            return StoredValue(value.flag);
        case RawValue::Type::Date:
            return StoredValue(PlistDate{value.real});
        case RawValue::Type::Data:
            if (quint64(value.string.size) > m_budget) {
                m_refused = true;
                return std::nullopt;
            }
            m_budget -= quint64(value.string.size);
            return StoredValue(value.string.toBytes());
        case RawValue::Type::String: {
            std::optional<QString> text =
                value.string.size <= 12 ? sharedString(value.string) : string(value.string);
            if (!text)
                return std::nullopt;
            return StoredValue(*std::move(text));
        }
        case RawValue::Type::Other:
            break;
        }
        return std::nullopt;
    }

    // The record as a face writes it, if it is exactly so; its other fields go along.
    std::optional<StoredFace> faceRecord(std::span<const RawField> fields)
    {
        using Type = RawValue::Type;
        const RawValue *values[FieldCount] = {};
        QList<StoredField> extra;
        for (const RawField &field : fields) {
            if (field.faceField >= 0) {
                if (values[field.faceField])
                    return std::nullopt;
                values[field.faceField] = &field.value;
                continue;
            }
            std::optional<StoredValue> value = storedValue(field.value);
            if (!value)
                return std::nullopt;
            std::optional<QString> name = fieldName(field.name);
            if (!name)
                return std::nullopt;
            for (const StoredField &other : extra) {
                if (other.name == *name)
                    return std::nullopt;
            }
            extra.append({*std::move(name), *std::move(value)});
        }
        const auto is = [&](StoredFaceField field, Type type) {
            return values[field] && values[field]->type == type;
        };
        const std::optional<QUuid> id = uuidOf(values[IdField]->string);
        if (!id)
            return std::nullopt;
        StoredFace record{{}, m_blankFace, std::move(extra), id};
        CardFace &face = record.face;
        if (values[CardFaceIdField]) {
            // The one integer a face cannot hold stays in the record as read.
            face.cardFaceID = values[CardFaceIdField]->integer;
            if (!face.cardFaceID)
                return std::nullopt;
        }
        face.rating = qint8(values[RatingField]->integer);
        face.progressRank = quint8(values[ProgressRankField]->integer);
        for (CardFaceProgress progress : allCardFaceProgresses) {
            if (values[ProgressField]->string.equals(cardFaceProgressRawValues[int(progress)]))
                face.progress = progress;
        }
        for (const auto &[field, date] : {std::pair(LastReviewField, &face.lastReview),
                                          std::pair(NextReviewField, &face.nextReview)}) {
            if (!values[field])
                continue;
            *date = dateFromReferenceSeconds(values[field]->real);
            if (!*date || plistDateFromDateTime(**date).seconds != values[field]->real)
                return std::nullopt;
        }
        if (values[StabilityField] || values[DifficultyField] || values[ReviewsField] ||
            values[LapsesField] || values[LearningStepField]) {
            if (!is(StabilityField, Type::Real) || !is(DifficultyField, Type::Real) ||
                !is(ReviewsField, Type::Integer) || !is(LapsesField, Type::Integer) ||
                (values[LearningStepField] && !is(LearningStepField, Type::Integer)))
                return std::nullopt;
            ReviewMemory memory{values[StabilityField]->real, values[DifficultyField]->real,
                                values[ReviewsField]->integer, values[LapsesField]->integer,
                                std::nullopt};
            if (values[LearningStepField])
                memory.learningStep = values[LearningStepField]->integer;
            // Only values that read back unchanged.
            if (storedReviewMemory(memory.stability, memory.difficulty, memory.reviews,
                                   memory.lapses, memory.learningStep) != memory)
                return std::nullopt;
            face.memory = memory;
        }
        std::optional<QString> text = string(values[TextField]->string);
        if (!text)
            return std::nullopt;
        face.text = FaceText(*text);
        return record;
    }

    quint64 m_budget;
    bool m_refused = false;
    const QSet<FaceDigest> *m_only;
    bool m_asFaces;
    // Copied rather than made: a new face draws a random identifier, which the record's own
    // replaces anyway.
    const CardFace m_blankFace;
    QList<StoredFace> m_faces;
    std::optional<FaceDigest> m_digest;
    QString m_key;
    QSet<FaceDigest> m_seen;
    QSet<QString> m_otherKeys;
    QHash<const void *, QString> m_strings;
    QHash<quint64, QList<StoredField>> m_shared;
    QList<StoredRecord> m_records;
};

} // namespace

const StoredValue *StoredRecord::value(QStringView name) const
{
    for (const StoredField &field : fields) {
        if (field.name == name)
            return &field.value;
    }
    return nullptr;
}

QString StoredRecord::text() const
{
    const StoredValue *text = value(u"text");
    return text && std::holds_alternative<QString>(*text) ? std::get<QString>(*text) : QString();
}

bool isFaceFieldName(QStringView name)
{
    for (const std::string_view field : storedFaceFieldNames) {
        if (name == QLatin1StringView(field.data(), qsizetype(field.size())))
            return true;
    }
    return false;
}

std::optional<StoredTable> decodeStoredTable(QByteArrayView bytes)
{
    StoredRecordReader reader(bytes.size(), nullptr, true);
    if (!readRawRecords(bytes, reader))
        return std::nullopt;
    return StoredTable{reader.takeFaces(), reader.take()};
}

std::optional<QList<StoredRecord>> decodeStoredRecords(QByteArrayView bytes)
{
    StoredRecordReader reader(bytes.size(), nullptr);
    if (!readRawRecords(bytes, reader))
        return std::nullopt;
    return reader.take();
}

QList<StoredRecord> storedRecordsOf(QByteArrayView bytes, const QSet<FaceDigest> &keys)
{
    if (keys.isEmpty())
        return {};
    StoredRecordReader reader(bytes.size(), &keys);
    if (!readRawRecords(bytes, reader))
        return {};
    return reader.take();
}

QDateTime dateTimeFromPlistDate(PlistDate date)
{
    return QDateTime::fromMSecsSinceEpoch(
        qint64(std::llround((date.seconds + referenceDateOffset) * 1000.0)), Qt::UTC);
}

PlistDate plistDateFromDateTime(const QDateTime &time)
{
    return {referenceSeconds(time)};
}
