#include "core/store/binary_plist_reader.h"

#include "core/store/stored_face_fields.h"

#include <QSet>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>
#include <string_view>
#include <vector>

namespace {

constexpr quint64 headerSize = 8;
constexpr quint64 trailerSize = 32;

// Object types: the high nibble of an object's marker byte.
constexpr quint8 integerType = 0x1;
constexpr quint8 floatMarker = 0x22;
constexpr quint8 doubleMarker = 0x23;
constexpr quint8 asciiStringType = 0x5;
constexpr quint8 utf16StringType = 0x6;
constexpr quint8 dictionaryType = 0xD;
constexpr quint8 dateMarker = 0x33;
constexpr qsizetype faceKeyLength = 24;

// The raw values of CardFaceProgress, in the order of its cases.
constexpr std::string_view progressNames[] = {"new", "learning", "mastered", "archived",
                                              "abandoned"};

// What a string object says, worked out once per object: the records of a table share their
// key strings and progress strings, so most lookups hit this cache.
constexpr qint8 unclassified = -1;              // not looked at yet
constexpr qint8 progressClassBase = FieldCount; // + the progress case
constexpr qint8 otherString = progressClassBase + qint8(std::size(progressNames));
constexpr qint8 notAString = otherString + 1;

struct Object
{
    quint8 marker = 0;
    quint64 start = 0; // first byte after the marker (and after an extended count)
    quint64 count = 0; // elements of a string or dictionary; 0 for other objects
};

class Reader
{
public:
    explicit Reader(QByteArrayView bytes)
        : m_data(reinterpret_cast<const uchar *>(bytes.data())), m_size(quint64(bytes.size())),
          // Real files never come near this; crafted ones whose containers overlap in the file
          // would otherwise cost time quadratic in their size.
          m_budget(4 * quint64(bytes.size()) + 1024)
    {
    }

    std::optional<ProgressTable> read();

private:
    quint64 readUnsigned(quint64 pos, int width) const;
    bool readTrailer();
    std::optional<quint64> objectOffset(quint64 index) const;
    std::optional<Object> object(quint64 index) const;
    std::optional<quint64> reference(quint64 pos) const;
    bool spend(quint64 work);

    qint8 classifyString(quint64 index);
    std::optional<qint64> integerAt(quint64 index) const;
    bool isDate(quint64 index) const;
    std::optional<QDateTime> dateAt(quint64 index) const;
    std::optional<double> numberAt(quint64 index) const;
    std::optional<QString> stringAt(quint64 index);
    std::optional<SavedProgress> record(quint64 index, const FaceDigest *key);

    const uchar *m_data;
    quint64 m_size;
    quint64 m_budget;
    int m_offsetSize = 0;
    int m_refSize = 0;
    quint64 m_objectCount = 0;
    quint64 m_topObject = 0;
    quint64 m_tableOffset = 0; // objects lie in [headerSize, m_tableOffset)
    std::vector<qint8> m_stringClass;
    // A decoded record by object: 0 not seen yet; else its place plus one in m_recordKeys, the
    // face key whose entry of the table holds it, or (with otherRecord set) in m_otherRecords,
    // for a record first met under a key that is no face key. Keeping the key rather than a
    // copy of every record spares a second table's worth of memory on big files.
    static constexpr quint32 otherRecord = quint32(1) << 31;
    std::vector<quint32> m_recordMemo;
    std::vector<FaceDigest> m_recordKeys;
    std::vector<SavedProgress> m_otherRecords;
    ProgressTable m_table;
};

// Big-endian unsigned integer of 1..8 bytes; the caller has checked the bounds.
quint64 Reader::readUnsigned(quint64 pos, int width) const
{
    quint64 value = 0;
    for (int i = 0; i < width; ++i)
        value = (value << 8) | m_data[pos + quint64(i)];
    return value;
}

bool Reader::readTrailer()
{
    if (m_size < headerSize + 1 + trailerSize)
        return false;
    const quint64 trailer = m_size - trailerSize;
    m_offsetSize = m_data[trailer + 6];
    m_refSize = m_data[trailer + 7];
    m_objectCount = readUnsigned(trailer + 8, 8);
    m_topObject = readUnsigned(trailer + 16, 8);
    m_tableOffset = readUnsigned(trailer + 24, 8);
    if (m_offsetSize < 1 || m_offsetSize > 8 || m_refSize < 1 || m_refSize > 8)
        return false;
    if (m_objectCount == 0 || m_topObject >= m_objectCount)
        return false;
    if (m_tableOffset < headerSize + 1 || m_tableOffset > trailer)
        return false;
    return m_objectCount <= (trailer - m_tableOffset) / quint64(m_offsetSize);
}

std::optional<quint64> Reader::objectOffset(quint64 index) const
{
    if (index >= m_objectCount)
        return std::nullopt;
    const quint64 offset =
        readUnsigned(m_tableOffset + index * quint64(m_offsetSize), m_offsetSize);
    if (offset < headerSize || offset >= m_tableOffset)
        return std::nullopt;
    return offset;
}

std::optional<Object> Reader::object(quint64 index) const
{
    const std::optional<quint64> offset = objectOffset(index);
    if (!offset)
        return std::nullopt;
    Object result{m_data[*offset], *offset + 1, 0};
    quint64 elementSize = 0;
    switch (result.marker >> 4) {
    case asciiStringType:
        elementSize = 1;
        break;
    case utf16StringType:
        elementSize = 2;
        break;
    case dictionaryType:
        elementSize = 2 * quint64(m_refSize);
        break;
    default:
        return result;
    }
    result.count = result.marker & 0xF;
    if (result.count == 0xF) {
        // Extended count: an integer object of 1, 2, 4 or 8 bytes follows the marker.
        if (result.start >= m_tableOffset)
            return std::nullopt;
        const quint8 countMarker = m_data[result.start];
        if ((countMarker >> 4) != integerType || (countMarker & 0xF) > 3)
            return std::nullopt;
        const int width = 1 << (countMarker & 0xF);
        if (quint64(width) > m_tableOffset - result.start - 1)
            return std::nullopt;
        result.count = readUnsigned(result.start + 1, width);
        result.start += 1 + quint64(width);
    }
    if (result.count > (m_tableOffset - result.start) / elementSize)
        return std::nullopt;
    return result;
}

std::optional<quint64> Reader::reference(quint64 pos) const
{
    const quint64 index = readUnsigned(pos, m_refSize);
    if (index >= m_objectCount)
        return std::nullopt;
    return index;
}

bool Reader::spend(quint64 work)
{
    if (work > m_budget)
        return false;
    m_budget -= work;
    return true;
}

qint8 Reader::classifyString(quint64 index)
{
    qint8 &cls = m_stringClass[index];
    if (cls != unclassified)
        return cls;
    cls = notAString;
    const std::optional<Object> obj = object(index);
    if (!obj)
        return cls;
    const quint8 type = obj->marker >> 4;
    if (type != asciiStringType && type != utf16StringType)
        return cls;

    const auto equals = [&](std::string_view name) {
        const quint64 length = name.size();
        if (obj->count != length)
            return false;
        if (type == asciiStringType)
            return std::memcmp(m_data + obj->start, name.data(), length) == 0;
        for (quint64 i = 0; i < length; ++i) {
            if (qFromBigEndian<quint16>(m_data + obj->start + 2 * i) != quint16(name[i]))
                return false;
        }
        return true;
    };
    cls = otherString;
    for (qint8 field = 0; field < FieldCount; ++field) {
        if (equals(storedFaceFieldNames[field])) {
            cls = field;
            return cls;
        }
    }
    for (qint8 progress = 0; progress < qint8(std::size(progressNames)); ++progress) {
        if (equals(progressNames[progress])) {
            cls = qint8(progressClassBase + progress);
            return cls;
        }
    }
    return cls;
}

// Integers are 1, 2 or 4 bytes unsigned, 8 bytes signed, or 16 bytes signed (other encoders
// write values from 2^63 up that way); nothing unless the value fits 64 signed bits.
std::optional<qint64> Reader::integerAt(quint64 index) const
{
    const std::optional<Object> obj = object(index);
    if (!obj || (obj->marker >> 4) != integerType)
        return std::nullopt;
    const int sizeLog = obj->marker & 0xF;
    if (sizeLog > 4)
        return std::nullopt;
    const quint64 width = quint64(1) << sizeLog;
    if (width > m_tableOffset - obj->start)
        return std::nullopt;
    if (sizeLog < 4)
        return qint64(readUnsigned(obj->start, int(width)));
    const quint64 high = readUnsigned(obj->start, 8);
    const quint64 low = readUnsigned(obj->start + 8, 8);
    const bool lowNegative = (low >> 63) != 0;
    if ((high == 0 && !lowNegative) || (high == ~quint64(0) && lowNegative))
        return qint64(low);
    return std::nullopt;
}

bool Reader::isDate(quint64 index) const
{
    const std::optional<Object> obj = object(index);
    return obj && obj->marker == dateMarker && m_tableOffset - obj->start >= 8;
}

// Only for an object isDate accepted.
std::optional<QDateTime> Reader::dateAt(quint64 index) const
{
    const std::optional<Object> obj = object(index);
    return dateFromReferenceSeconds(std::bit_cast<double>(readUnsigned(obj->start, 8)));
}

// An integer or a real of 4 or 8 bytes.
std::optional<double> Reader::numberAt(quint64 index) const
{
    const std::optional<Object> obj = object(index);
    if (!obj)
        return std::nullopt;
    if ((obj->marker >> 4) == integerType) {
        const std::optional<qint64> integer = integerAt(index);
        return integer ? std::optional<double>(double(*integer)) : std::nullopt;
    }
    const quint64 room = m_tableOffset - obj->start;
    if (obj->marker == floatMarker && room >= 4)
        return double(std::bit_cast<float>(quint32(readUnsigned(obj->start, 4))));
    if (obj->marker == doubleMarker && room >= 8)
        return std::bit_cast<double>(readUnsigned(obj->start, 8));
    return std::nullopt;
}

bool isString(const Object &obj)
{
    return (obj.marker >> 4) == asciiStringType || (obj.marker >> 4) == utf16StringType;
}

// The UTF-16 code units of a string object, count of them.
void copyUnits(const uchar *data, const Object &obj, char16_t *out)
{
    const uchar *chars = data + obj.start;
    for (quint64 i = 0; i < obj.count; ++i) {
        out[i] = (obj.marker >> 4) == asciiStringType ? char16_t(chars[i])
                                                      : qFromBigEndian<quint16>(chars + 2 * i);
    }
}

std::optional<QString> Reader::stringAt(quint64 index)
{
    const std::optional<Object> obj = object(index);
    if (!obj || !isString(*obj) || !spend(obj->count))
        return std::nullopt;
    QString text(qsizetype(obj->count), Qt::Uninitialized);
    copyUnits(m_data, *obj, reinterpret_cast<char16_t *>(text.data()));
    return text;
}

std::optional<SavedProgress> Reader::record(quint64 index, const FaceDigest *key)
{
    // A dictionary referenced from many keys is checked once.
    if (const quint32 memo = m_recordMemo[index]) {
        if (memo & otherRecord)
            return m_otherRecords[(memo & ~otherRecord) - 1];
        return m_table.value(m_recordKeys[memo - 1]);
    }

    const std::optional<Object> obj = object(index);
    if (!obj || (obj->marker >> 4) != dictionaryType || !spend(obj->count))
        return std::nullopt;

    // The last of duplicate keys wins.
    std::optional<quint64> values[FieldCount];
    const quint64 refSize = quint64(m_refSize);
    for (quint64 i = 0; i < obj->count; ++i) {
        const std::optional<quint64> key = reference(obj->start + i * refSize);
        const std::optional<quint64> value = reference(obj->start + (obj->count + i) * refSize);
        if (!key || !value)
            return std::nullopt;
        const qint8 cls = classifyString(*key);
        if (cls == notAString)
            return std::nullopt;
        if (cls < FieldCount)
            values[cls] = *value;
    }

    const auto isStringValue = [&](const std::optional<quint64> &value) {
        return value && classifyString(*value) != notAString;
    };
    const auto integerIn = [&](const std::optional<quint64> &value, qint64 low, qint64 high) {
        const std::optional<qint64> number = value ? integerAt(*value) : std::nullopt;
        return number && *number >= low && *number <= high ? number : std::nullopt;
    };

    if (!isStringValue(values[IdField]) || !isStringValue(values[TextField]))
        return std::nullopt;
    if (values[CardFaceIdField] && !integerAt(*values[CardFaceIdField]))
        return std::nullopt;
    if ((values[LastReviewField] && !isDate(*values[LastReviewField])) ||
        (values[NextReviewField] && !isDate(*values[NextReviewField])))
        return std::nullopt;
    if (!integerIn(values[ProgressRankField], 0, 255))
        return std::nullopt;
    const std::optional<qint64> rating = integerIn(values[RatingField], -128, 127);
    if (!rating || !values[ProgressField])
        return std::nullopt;
    const qint8 progressClass = classifyString(*values[ProgressField]);
    if (progressClass < progressClassBase || progressClass >= otherString)
        return std::nullopt;

    SavedProgress result;
    result.rating = qint8(*rating);
    result.progress = CardFaceProgress(progressClass - progressClassBase);
    if (values[LastReviewField])
        result.lastReview = dateAt(*values[LastReviewField]);
    if (values[NextReviewField])
        result.nextReview = dateAt(*values[NextReviewField]);
    const auto number = [&](StoredFaceField field) {
        return values[field] ? numberAt(*values[field]) : std::nullopt;
    };
    const auto integer = [&](StoredFaceField field) {
        return values[field] ? integerAt(*values[field]) : std::nullopt;
    };
    result.memory =
        storedReviewMemory(number(StabilityField), number(DifficultyField), integer(ReviewsField),
                           integer(LapsesField), integer(LearningStepField));
    // The caller puts it in the table under that key before it looks at the next one.
    if (key) {
        m_recordKeys.push_back(*key);
        m_recordMemo[index] = quint32(m_recordKeys.size());
    } else {
        m_otherRecords.push_back(result);
        m_recordMemo[index] = quint32(m_otherRecords.size()) | otherRecord;
    }
    return result;
}

std::optional<ProgressTable> Reader::read()
{
    if (!readTrailer())
        return std::nullopt;
    // Both caches are bounded by the file: each object has an entry in its offset table.
    m_stringClass.assign(m_objectCount, unclassified);
    m_recordMemo.assign(m_objectCount, 0);

    const std::optional<Object> root = object(m_topObject);
    if (!root || (root->marker >> 4) != dictionaryType || !spend(root->count))
        return std::nullopt;

    ProgressTable &table = m_table;
    table.reserve(qsizetype(std::min<quint64>(root->count, m_size / 64)));
    QSet<QString> otherKeys;
    const quint64 refSize = quint64(m_refSize);
    // Walk backwards so that of duplicate keys only the last one is looked at.
    for (quint64 i = root->count; i-- > 0;) {
        const std::optional<quint64> keyRef = reference(root->start + i * refSize);
        const std::optional<quint64> valueRef =
            reference(root->start + (root->count + i) * refSize);
        if (!keyRef || !valueRef)
            return std::nullopt;
        const std::optional<Object> keyObject = object(*keyRef);
        if (!keyObject || !isString(*keyObject))
            return std::nullopt;
        // Face keys are short: look at them without making a string on the heap.
        std::optional<FaceDigest> digest;
        if (keyObject->count == faceKeyLength) {
            char16_t units[faceKeyLength];
            copyUnits(m_data, *keyObject, units);
            digest = digestFromFaceKey(QStringView(units, faceKeyLength));
        }
        if (digest) {
            if (table.contains(*digest))
                continue;
            const std::optional<SavedProgress> saved = record(*valueRef, &*digest);
            if (!saved)
                return std::nullopt;
            table.insert(*digest, *saved);
        } else {
            // No face can ever match this key, but its record must still be well formed.
            const std::optional<QString> key = stringAt(*keyRef);
            if (!key)
                return std::nullopt;
            if (otherKeys.contains(*key))
                continue;
            otherKeys.insert(*key);
            if (!record(*valueRef, nullptr))
                return std::nullopt;
        }
    }
    return std::move(m_table);
}

} // namespace

std::optional<ProgressTable> readBinaryProgressTable(QByteArrayView bytes)
{
    return Reader(bytes).read();
}
