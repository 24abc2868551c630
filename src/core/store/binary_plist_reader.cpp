#include "core/store/binary_plist_reader.h"

#include "core/store/stored_face_fields.h"

#include <QtEndian>

#include <array>
#include <bit>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

namespace {

constexpr quint64 headerSize = 8;
constexpr quint64 trailerSize = 32;

// Object types: the high nibble of an object's marker byte.
constexpr quint8 integerType = 0x1;
constexpr quint8 falseMarker = 0x08;
constexpr quint8 trueMarker = 0x09;
constexpr quint8 floatMarker = 0x22;
constexpr quint8 doubleMarker = 0x23;
constexpr quint8 dateMarker = 0x33;
constexpr quint8 dataType = 0x4;
constexpr quint8 asciiStringType = 0x5;
constexpr quint8 utf16StringType = 0x6;
constexpr quint8 dictionaryType = 0xD;

struct Object
{
    quint8 marker = 0;
    quint64 start = 0; // first byte after the marker (and after an extended count)
    quint64 count = 0; // elements of a string, data or dictionary; 0 for other objects

    quint8 type() const { return marker >> 4; }
    bool isString() const { return type() == asciiStringType || type() == utf16StringType; }
};

class Walker
{
public:
    Walker(QByteArrayView bytes, RawRecordVisitor &visitor)
        : m_data(reinterpret_cast<const uchar *>(bytes.data())), m_size(quint64(bytes.size())),
          // Real files never come near this; crafted ones whose containers overlap in the file
          // would otherwise cost time quadratic in their size.
          m_budget(4 * quint64(bytes.size()) + 1024), m_visitor(&visitor)
    {
        m_names.fill({RawValue::noObject, {}, -1});
    }

    bool read();
    // The record of object index alone, as read() hands it over; false when the file or the
    // object is no such record.
    bool readRecord(quint64 index);
    bool readTrailerOnly() { return readTrailer(); }
    void setVisitor(RawRecordVisitor &visitor) { m_visitor = &visitor; }

private:
    quint64 readUnsigned(quint64 pos, int width) const;
    bool readTrailer();
    std::optional<Object> object(quint64 index) const;
    std::optional<quint64> reference(quint64 pos) const;
    bool spend(quint64 work);
    RawString string(const Object &obj) const;
    RawValue value(quint64 index) const;
    struct Name
    {
        quint64 object;
        RawString name;
        int faceField;
    };
    const Name *name(quint64 index);
    bool record(const RawString &key, quint64 index, bool shared);

    const uchar *m_data;
    quint64 m_size;
    quint64 m_budget;
    RawRecordVisitor *m_visitor;
    int m_offsetSize = 0;
    int m_refSize = 0;
    quint64 m_objectCount = 0;
    quint64 m_topObject = 0;
    quint64 m_tableOffset = 0; // objects lie in [headerSize, m_tableOffset)
    std::vector<RawField> m_fields;
    // The records share a handful of name strings: what each is, by object, in a small cache.
    std::array<Name, 64> m_names;
};

// Big-endian unsigned integer of 1..8 bytes; the caller has checked the bounds.
quint64 Walker::readUnsigned(quint64 pos, int width) const
{
    // The widths that references and offsets take, read whole: a big file's walk reads millions.
    switch (width) {
    case 1:
        return m_data[pos];
    case 2:
        return qFromBigEndian<quint16>(m_data + pos);
    case 4:
        return qFromBigEndian<quint32>(m_data + pos);
    case 8:
        return qFromBigEndian<quint64>(m_data + pos);
    default:
        break;
    }
    quint64 value = 0;
    for (int i = 0; i < width; ++i)
        value = (value << 8) | m_data[pos + quint64(i)];
    return value;
}

bool Walker::readTrailer()
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

// The object's marker and, for strings, data and dictionaries, its element count, all checked
// to lie inside the object area.
std::optional<Object> Walker::object(quint64 index) const
{
    if (index >= m_objectCount)
        return std::nullopt;
    const quint64 offset =
        readUnsigned(m_tableOffset + index * quint64(m_offsetSize), m_offsetSize);
    if (offset < headerSize || offset >= m_tableOffset)
        return std::nullopt;
    Object result{m_data[offset], offset + 1, 0};
    quint64 elementSize = 0;
    switch (result.type()) {
    case dataType:
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

std::optional<quint64> Walker::reference(quint64 pos) const
{
    const quint64 index = readUnsigned(pos, m_refSize);
    if (index >= m_objectCount)
        return std::nullopt;
    return index;
}

bool Walker::spend(quint64 work)
{
    if (work > m_budget)
        return false;
    m_budget -= work;
    return true;
}

RawString Walker::string(const Object &obj) const
{
    return {m_data + obj.start, qsizetype(obj.count),
            obj.type() == utf16StringType ? RawString::Utf16BigEndian : RawString::Latin1};
}

// Integers are 1, 2 or 4 bytes unsigned, 8 bytes signed, or 16 bytes signed (other encoders
// write values from 2^63 up that way); one that does not fit 64 signed bits is no integer here.
RawValue Walker::value(quint64 index) const
{
    RawValue result;
    result.object = index;
    const std::optional<Object> obj = object(index);
    if (!obj)
        return result;
    const quint64 room = m_tableOffset - obj->start;
    const int low = obj->marker & 0xF;
    switch (obj->type()) {
    case 0x0:
        if (obj->marker == falseMarker || obj->marker == trueMarker) {
            result.type = RawValue::Type::Boolean;
            result.flag = obj->marker == trueMarker;
        }
        break;
    case integerType: {
        if (low > 4 || (quint64(1) << low) > room)
            break;
        if (low < 4) {
            result.type = RawValue::Type::Integer;
            result.integer = qint64(readUnsigned(obj->start, 1 << low));
            break;
        }
        const quint64 high = readUnsigned(obj->start, 8);
        const quint64 bits = readUnsigned(obj->start + 8, 8);
        const bool negative = (bits >> 63) != 0;
        if ((high == 0 && !negative) || (high == ~quint64(0) && negative)) {
            result.type = RawValue::Type::Integer;
            result.integer = qint64(bits);
        }
        break;
    }
    case 0x2:
        if (obj->marker == floatMarker && room >= 4) {
            result.type = RawValue::Type::Real;
            result.real = double(std::bit_cast<float>(quint32(readUnsigned(obj->start, 4))));
        } else if (obj->marker == doubleMarker && room >= 8) {
            result.type = RawValue::Type::Real;
            result.real = std::bit_cast<double>(readUnsigned(obj->start, 8));
        }
        break;
    case 0x3:
        if (obj->marker == dateMarker && room >= 8) {
            result.type = RawValue::Type::Date;
            result.real = std::bit_cast<double>(readUnsigned(obj->start, 8));
        }
        break;
    case dataType:
        result.type = RawValue::Type::Data;
        result.string = {m_data + obj->start, qsizetype(obj->count), RawString::Latin1};
        break;
    case asciiStringType:
    case utf16StringType:
        result.type = RawValue::Type::String;
        result.string = string(*obj);
        break;
    default:
        break;
    }
    return result;
}

// The name string of a field and the face field it is; nothing when the object is no string.
const Walker::Name *Walker::name(quint64 index)
{
    Name &cached = m_names[index % m_names.size()];
    if (cached.object == index)
        return &cached;
    const std::optional<Object> nameObject = object(index);
    if (!nameObject || !nameObject->isString())
        return nullptr;
    cached = {index, string(*nameObject), -1};
    for (int i = 0; i < FieldCount && cached.faceField < 0; ++i) {
        if (cached.name.equals(storedFaceFieldNames[i]))
            cached.faceField = i;
    }
    return &cached;
}

bool Walker::record(const RawString &key, quint64 index, bool shared)
{
    const std::optional<Object> obj = object(index);
    if (!obj || obj->type() != dictionaryType)
        return m_visitor->brokenRecord(key);
    if (!spend(obj->count + 1))
        return false;
    m_fields.clear();
    const quint64 refSize = quint64(m_refSize);
    for (quint64 i = 0; i < obj->count; ++i) {
        const std::optional<quint64> nameRef = reference(obj->start + i * refSize);
        const std::optional<quint64> valueRef = reference(obj->start + (obj->count + i) * refSize);
        if (!nameRef || !valueRef)
            return m_visitor->brokenRecord(key);
        const Name *fieldName = name(*nameRef);
        if (!fieldName)
            return m_visitor->brokenRecord(key);
        RawField field;
        field.name = fieldName->name;
        field.faceField = fieldName->faceField;
        field.value = value(*valueRef);
        m_fields.push_back(field);
    }
    return m_visitor->record(key, index, shared, m_fields);
}

bool Walker::read()
{
    if (!readTrailer())
        return false;
    const std::optional<Object> root = object(m_topObject);
    if (!root || root->type() != dictionaryType || !spend(root->count + 1))
        return false;
    const quint64 refSize = quint64(m_refSize);
    const auto keyAt = [&](quint64 i) { return reference(root->start + i * refSize); };
    const auto valueAt = [&](quint64 i) {
        return reference(root->start + (root->count + i) * refSize);
    };

    // Encoders that share equal objects may put one record under several keys: such a record
    // is walked once, and the visitor told which ones they are.
    std::vector<bool> met(size_t(m_objectCount), false);
    std::vector<bool> shared(size_t(m_objectCount), false);
    for (quint64 i = 0; i < root->count; ++i) {
        const std::optional<quint64> value = valueAt(i);
        if (!value)
            return false;
        if (met[*value])
            shared[*value] = true;
        met[*value] = true;
    }
    std::vector<bool> walked(size_t(m_objectCount), false);
    met = {};

    // From the last key to the first, so that of duplicate keys the last one is looked at.
    for (quint64 i = root->count; i-- > 0;) {
        const std::optional<quint64> keyRef = keyAt(i);
        const std::optional<quint64> valueRef = valueAt(i);
        if (!keyRef || !valueRef)
            return false;
        const std::optional<Object> keyObject = object(*keyRef);
        if (!keyObject || !keyObject->isString())
            return false;
        const RawString key = string(*keyObject);
        if (!m_visitor->wants(key))
            continue;
        if (walked[*valueRef]) {
            if (!m_visitor->sharedRecord(key, *valueRef))
                return false;
            continue;
        }
        walked[*valueRef] = true;
        if (!record(key, *valueRef, shared[*valueRef]))
            return false;
    }
    return true;
}

bool Walker::readRecord(quint64 index)
{
    // Each record read again is read whole, however often: no budget.
    m_budget = std::numeric_limits<quint64>::max();
    const std::optional<Object> obj = object(index);
    return obj && obj->type() == dictionaryType && record({}, index, false);
}

// Refuses every record: a visitor for a reader that has none yet.
class NoVisitor final : public RawRecordVisitor
{
public:
    bool wants(const RawString &) override { return false; }
    bool record(const RawString &, quint64, bool, std::span<const RawField>) override
    {
        return false;
    }
    bool sharedRecord(const RawString &, quint64) override { return false; }
};

// Hands the fields of the one record read to a function.
class FieldsVisitor final : public RawRecordVisitor
{
public:
    explicit FieldsVisitor(const std::function<bool(std::span<const RawField>)> &take)
        : m_take(take)
    {
    }
    bool wants(const RawString &) override { return true; }
    bool record(const RawString &, quint64, bool, std::span<const RawField> fields) override
    {
        return m_take(fields);
    }
    bool sharedRecord(const RawString &, quint64) override { return false; }

private:
    const std::function<bool(std::span<const RawField>)> &m_take;
};

} // namespace

bool readBinaryRecords(QByteArrayView bytes, RawRecordVisitor &visitor)
{
    return Walker(bytes, visitor).read();
}

struct BinaryRecordReader::State
{
    explicit State(QByteArrayView bytes) : walker(bytes, none) {}
    NoVisitor none;
    Walker walker;
    bool valid = false;
};

BinaryRecordReader::BinaryRecordReader(QByteArrayView bytes)
    : m_state(std::make_unique<State>(bytes))
{
    m_state->valid = m_state->walker.readTrailerOnly();
}

BinaryRecordReader::~BinaryRecordReader() = default;

bool BinaryRecordReader::read(quint64 record,
                              const std::function<bool(std::span<const RawField>)> &take)
{
    if (!m_state->valid)
        return false;
    FieldsVisitor visitor(take);
    m_state->walker.setVisitor(visitor);
    const bool read = m_state->walker.readRecord(record);
    m_state->walker.setVisitor(m_state->none);
    return read;
}
