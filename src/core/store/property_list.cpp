#include "core/store/property_list.h"

#include "core/store/binary_plist_reader.h"
#include "core/store/stored_face_fields.h"
#include "core/store/xml_plist_reader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>
#include <vector>

namespace {

constexpr char binaryMagic[] = "bplist00";

QString fieldName(int field)
{
    const std::string_view name = storedFaceFieldNames[field];
    return QString::fromLatin1(name.data(), qsizetype(name.size()));
}

constexpr int progressCount = int(std::size(allCardFaceProgresses));

int byteWidth(quint64 value)
{
    int width = 1;
    while (width < 8 && (value >> (8 * width)) != 0)
        ++width;
    return width;
}

// Writes objects one after another, remembering where each starts. Bytes go through a raw
// pointer: a table of a quarter of a million faces is tens of megabytes.
class Writer
{
public:
    Writer(quint64 objectCount, qsizetype sizeHint) : m_refSize(byteWidth(objectCount - 1))
    {
        m_offsets.reserve(objectCount);
        m_out.resize(std::max<qsizetype>(sizeHint, 64));
        m_pos = m_out.data();
        std::memcpy(m_pos, binaryMagic, 8);
        m_pos += 8;
    }

    // Room for the next n bytes.
    void ensure(qsizetype n)
    {
        const qsizetype used = m_pos - m_out.constData();
        if (m_out.size() - used >= n)
            return;
        m_out.resize(std::max(2 * m_out.size(), used + n));
        m_pos = m_out.data() + used;
    }

    void beginObject(qsizetype maxSize)
    {
        ensure(maxSize);
        m_offsets.push_back(quint64(m_pos - m_out.constData()));
    }

    void writeBigEndian(quint64 value, int width)
    {
        for (int shift = 8 * (width - 1); shift >= 0; shift -= 8)
            *m_pos++ = char(value >> shift);
    }

    // At most 10 bytes.
    void writeMarker(quint8 type, quint64 count)
    {
        if (count < 0xF) {
            *m_pos++ = char((type << 4) | count);
            return;
        }
        *m_pos++ = char((type << 4) | 0xF);
        writeIntegerBody(qint64(count));
    }

    // At most 9 bytes. Non-negative values take 1, 2 or 4 bytes when they fit; the rest take
    // 8 signed bytes.
    void writeIntegerBody(qint64 value)
    {
        const quint64 bits = quint64(value);
        const int sizeLog = value < 0 || bits > 0xFFFFFFFFu ? 3 : bits > 0xFFFF ? 2 : bits > 0xFF;
        *m_pos++ = char(0x10 | sizeLog);
        writeBigEndian(bits, 1 << sizeLog);
    }

    void writeInteger(qint64 value)
    {
        beginObject(9);
        writeIntegerBody(value);
    }

    // ASCII text as single bytes, anything else as UTF-16.
    void writeString(QStringView text)
    {
        beginObject(10 + 2 * text.size());
        bool ascii = true;
        for (QChar c : text)
            ascii = ascii && c.unicode() < 0x80;
        writeMarker(ascii ? 0x5 : 0x6, quint64(text.size()));
        for (QChar c : text) {
            if (!ascii)
                *m_pos++ = char(c.unicode() >> 8);
            *m_pos++ = char(c.unicode());
        }
    }

    // The same for a face's text, whose bytes are already the ASCII form where it has one.
    void writeString(const FaceText &text)
    {
        if (!text.isLatin1()) {
            writeString(text.utf16());
            return;
        }
        if (!text.isAscii()) {
            writeString(QStringView(text.toString()));
            return;
        }
        const QLatin1StringView ascii = text.latin1();
        beginObject(10 + ascii.size());
        writeMarker(0x5, quint64(ascii.size()));
        std::memcpy(m_pos, ascii.data(), size_t(ascii.size()));
        m_pos += ascii.size();
    }

    // The face's identifier text, straight from its UUID.
    void writeUuid(const QUuid &uuid)
    {
        beginObject(40);
        *m_pos++ = char(0x5F);
        const auto hex = [this](quint64 value, int digits) {
            for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
                *m_pos++ = "0123456789ABCDEF"[(value >> shift) & 0xF];
        };
        writeIntegerBody(36);
        hex(uuid.data1, 8);
        *m_pos++ = '-';
        hex(uuid.data2, 4);
        *m_pos++ = '-';
        hex(uuid.data3, 4);
        *m_pos++ = '-';
        hex(quint64(uuid.data4[0]) << 8 | uuid.data4[1], 4);
        *m_pos++ = '-';
        quint64 node = 0;
        for (int i = 2; i < 8; ++i)
            node = node << 8 | uuid.data4[i];
        hex(node, 12);
    }

    void writeDate(const QDateTime &date) { writeDateSeconds(referenceSeconds(date)); }

    void writeDateSeconds(double seconds)
    {
        beginObject(9);
        *m_pos++ = char(0x33);
        writeBigEndian(std::bit_cast<quint64>(seconds), 8);
    }

    void writeReal(double value)
    {
        beginObject(9);
        *m_pos++ = char(0x23);
        writeBigEndian(std::bit_cast<quint64>(value), 8);
    }

    // A value kept from a record as it was read.
    void writeValue(const StoredValue &value)
    {
        if (const qint64 *integer = std::get_if<qint64>(&value)) {
            writeInteger(*integer);
        } else if (const double *real = std::get_if<double>(&value)) {
            writeReal(*real);
        } else if (const bool *flag = std::get_if<bool>(&value)) {
            beginObject(1);
            *m_pos++ = char(*flag ? 0x09 : 0x08);
        } else if (const QString *text = std::get_if<QString>(&value)) {
            writeString(*text);
        } else if (const PlistDate *date = std::get_if<PlistDate>(&value)) {
            writeDateSeconds(date->seconds);
        } else if (const QByteArray *data = std::get_if<QByteArray>(&value)) {
            beginObject(10 + data->size());
            writeMarker(0x4, quint64(data->size()));
            std::memcpy(m_pos, data->constData(), size_t(data->size()));
            m_pos += data->size();
        }
    }

    // A dictionary of the given size; its references follow.
    void beginDictionary(quint64 count)
    {
        beginObject(10 + qsizetype(2 * count) * m_refSize);
        writeMarker(0xD, count);
    }

    void writeRef(quint64 index) { writeBigEndian(index, m_refSize); }

    QByteArray finish()
    {
        const quint64 tableOffset = quint64(m_pos - m_out.constData());
        const int offsetSize = byteWidth(tableOffset);
        ensure(qsizetype(m_offsets.size()) * offsetSize + 32);
        for (quint64 offset : m_offsets)
            writeBigEndian(offset, offsetSize);
        std::memset(m_pos, 0, 6); // unused bytes and sort version
        m_pos += 6;
        *m_pos++ = char(offsetSize);
        *m_pos++ = char(m_refSize);
        writeBigEndian(quint64(m_offsets.size()), 8);
        writeBigEndian(0, 8); // the root is the first object
        writeBigEndian(tableOffset, 8);
        m_out.truncate(m_pos - m_out.constData());
        return std::move(m_out);
    }

private:
    int m_refSize;
    std::vector<quint64> m_offsets;
    QByteArray m_out;
    char *m_pos = nullptr;
};

// The saved progress of every face key; a record under any other key is checked and dropped.
class TableReader final : public RawRecordVisitor
{
public:
    explicit TableReader(qsizetype fileSize) : m_otherKeys(fileSize)
    {
        table.reserve(fileSize / 192);
    }

    bool wants(const RawString &key) override
    {
        m_digest = key.faceDigest();
        if (m_digest)
            return !table.contains(*m_digest);
        return m_otherKeys.wants(key);
    }

    bool record(const RawString &, quint64 record, bool shared,
                std::span<const RawField> fields) override
    {
        if (m_otherKeys.isRefused())
            return false;
        const std::optional<SavedProgress> saved = savedProgressOf(fields);
        if (!saved)
            return false;
        if (shared)
            m_shared.insert(record, *saved);
        keep(*saved);
        return true;
    }

    bool sharedRecord(const RawString &, quint64 record) override
    {
        const auto it = m_shared.constFind(record);
        if (m_otherKeys.isRefused() || it == m_shared.cend())
            return false;
        keep(*it);
        return true;
    }

    ProgressTable table;

private:
    void keep(const SavedProgress &saved)
    {
        if (m_digest)
            table.insert(*m_digest, saved);
        else
            m_otherKeys.keep();
    }

    OtherKeys m_otherKeys;
    std::optional<FaceDigest> m_digest;
    // Records that several keys hold, by their place in the file.
    QHash<quint64, SavedProgress> m_shared;
};

} // namespace

bool readRawRecords(QByteArrayView bytes, RawRecordVisitor &visitor)
{
    if (bytes.startsWith(QByteArrayView(binaryMagic, 8)))
        return readBinaryRecords(bytes, visitor);
    // Another version of the binary format is nothing we can read.
    if (bytes.startsWith("bplist"))
        return false;
    return readXmlRecords(bytes, visitor);
}

std::optional<ProgressTable> decodeProgressTable(QByteArrayView bytes)
{
    TableReader reader(bytes.size());
    if (!readRawRecords(bytes, reader))
        return std::nullopt;
    return std::move(reader.table);
}

QByteArray encodeProgressTable(const QList<StoredFace> &records, const QList<StoredRecord> &kept)
{
    // Layout: the root dictionary; the key names and progress strings that are used, written
    // once and shared; then per record its key string, its dictionary and the dictionary's
    // values. Counting first lets references take as few bytes as the count allows.
    const auto optionalCount = [](const CardFace &face) {
        const quint64 memoryValues =
            face.memory ? 4 + quint64(face.memory->learningStep.has_value()) : 0;
        return quint64(face.cardFaceID.has_value()) + quint64(face.lastReview.has_value()) +
               quint64(face.nextReview.has_value()) + memoryValues;
    };
    constexpr quint64 requiredObjects = 6; // key, dictionary, id, text, rating, progressRank

    // Names beyond the face's own fields, numbered after them.
    QHash<QString, int> otherNames;
    QList<QString> otherNameList;
    const auto nameIndex = [&](const QString &name) {
        for (int i = 0; i < FieldCount; ++i) {
            if (name == QLatin1StringView(storedFaceFieldNames[i].data(),
                                          qsizetype(storedFaceFieldNames[i].size())))
                return i;
        }
        const auto it = otherNames.constFind(name);
        if (it != otherNames.cend())
            return *it;
        const int index = FieldCount + int(otherNameList.size());
        otherNames.insert(name, index);
        otherNameList.append(name);
        return index;
    };

    bool used[FieldCount + progressCount] = {};
    for (StoredFaceField key : {IdField, TextField, RatingField, ProgressRankField, ProgressField})
        used[key] = !records.isEmpty();
    quint64 recordObjects = 0;
    qsizetype sizeHint = 128;
    for (const StoredFace &record : records) {
        const CardFace &face = record.face;
        used[CardFaceIdField] = used[CardFaceIdField] || face.cardFaceID;
        used[LastReviewField] = used[LastReviewField] || face.lastReview;
        used[NextReviewField] = used[NextReviewField] || face.nextReview;
        if (face.memory) {
            for (StoredFaceField key : {StabilityField, DifficultyField, ReviewsField, LapsesField})
                used[key] = true;
            used[LearningStepField] = used[LearningStepField] || face.memory->learningStep;
        }
        used[FieldCount + int(face.progress)] = true;
        recordObjects += requiredObjects + optionalCount(face) + quint64(record.extra.size());
        sizeHint += 200 + record.key.size() + face.text.size();
        for (const StoredField &field : record.extra)
            nameIndex(field.name);
    }
    for (const StoredRecord &record : kept) {
        recordObjects += 2 + quint64(record.fields.size());
        sizeHint += 64 + record.key.size() + 40 * record.fields.size();
        for (const StoredField &field : record.fields) {
            const int index = nameIndex(field.name);
            if (index < FieldCount)
                used[index] = true;
            if (const QString *text = std::get_if<QString>(&field.value))
                sizeHint += 2 * text->size();
            else if (const QByteArray *data = std::get_if<QByteArray>(&field.value))
                sizeHint += data->size();
        }
    }
    quint64 sharedIndex[FieldCount + progressCount] = {};
    quint64 next = 1;
    for (int i = 0; i < FieldCount + progressCount; ++i) {
        if (used[i])
            sharedIndex[i] = next++;
    }
    const quint64 firstOtherName = next;
    next += quint64(otherNameList.size());
    const quint64 firstRecordObject = next;
    const auto nameRef = [&](int index) {
        return index < FieldCount ? sharedIndex[index]
                                  : firstOtherName + quint64(index - FieldCount);
    };

    Writer out(firstRecordObject + recordObjects, sizeHint);

    out.beginDictionary(quint64(records.size() + kept.size()));
    for (int pass = 0; pass < 2; ++pass) { // all key references, then all value references
        quint64 index = firstRecordObject;
        for (const StoredFace &record : records) {
            out.writeRef(index + quint64(pass));
            index += requiredObjects + optionalCount(record.face) + quint64(record.extra.size());
        }
        for (const StoredRecord &record : kept) {
            out.writeRef(index + quint64(pass));
            index += 2 + quint64(record.fields.size());
        }
    }

    for (int i = 0; i < FieldCount; ++i) {
        if (used[i])
            out.writeString(fieldName(i));
    }
    for (int i = 0; i < progressCount; ++i) {
        if (used[FieldCount + i])
            out.writeString(rawValue(CardFaceProgress(i)));
    }
    for (const QString &name : otherNameList)
        out.writeString(name);

    quint64 index = firstRecordObject;
    for (const StoredFace &record : records) {
        const CardFace &face = record.face;
        out.writeString(record.key);

        StoredFaceField keys[FieldCount];
        int keyCount = 0;
        keys[keyCount++] = IdField;
        if (face.cardFaceID)
            keys[keyCount++] = CardFaceIdField;
        keys[keyCount++] = TextField;
        keys[keyCount++] = RatingField;
        if (face.lastReview)
            keys[keyCount++] = LastReviewField;
        if (face.nextReview)
            keys[keyCount++] = NextReviewField;
        keys[keyCount++] = ProgressRankField;
        if (face.memory) {
            for (StoredFaceField key : {StabilityField, DifficultyField, ReviewsField, LapsesField})
                keys[keyCount++] = key;
            if (face.memory->learningStep)
                keys[keyCount++] = LearningStepField;
        }
        keys[keyCount++] = ProgressField;

        out.beginDictionary(quint64(keyCount + record.extra.size()));
        for (int i = 0; i < keyCount; ++i)
            out.writeRef(sharedIndex[keys[i]]);
        for (const StoredField &field : record.extra)
            out.writeRef(nameRef(nameIndex(field.name)));
        // Every value but the shared progress string is written right after the dictionary.
        quint64 value = index + 2;
        for (int i = 0; i < keyCount - 1; ++i)
            out.writeRef(value++);
        out.writeRef(sharedIndex[FieldCount + int(face.progress)]);
        for (qsizetype i = 0; i < record.extra.size(); ++i)
            out.writeRef(value++);

        out.writeUuid(record.id.value_or(face.uuid()));
        if (face.cardFaceID)
            out.writeInteger(*face.cardFaceID);
        out.writeString(face.text);
        out.writeInteger(face.rating);
        if (face.lastReview)
            out.writeDate(*face.lastReview);
        if (face.nextReview)
            out.writeDate(*face.nextReview);
        out.writeInteger(face.progressRank);
        if (face.memory) {
            out.writeReal(face.memory->stability);
            out.writeReal(face.memory->difficulty);
            out.writeInteger(face.memory->reviews);
            out.writeInteger(face.memory->lapses);
            if (face.memory->learningStep)
                out.writeInteger(*face.memory->learningStep);
        }
        for (const StoredField &field : record.extra)
            out.writeValue(field.value);
        index = value;
    }
    for (const StoredRecord &record : kept) {
        out.writeString(record.key);
        out.beginDictionary(quint64(record.fields.size()));
        for (const StoredField &field : record.fields)
            out.writeRef(nameRef(nameIndex(field.name)));
        quint64 value = index + 2;
        for (qsizetype i = 0; i < record.fields.size(); ++i)
            out.writeRef(value++);
        for (const StoredField &field : record.fields)
            out.writeValue(field.value);
        index = value;
    }
    return out.finish();
}
