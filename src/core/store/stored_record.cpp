#include "core/store/stored_record.h"

#include "core/store/property_list.h"
#include "core/store/stored_face_fields.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QXmlStreamReader>
#include <QtEndian>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// Seconds from the Unix epoch to 2001-01-01T00:00:00Z, the origin of property-list dates.
constexpr double referenceDateOffset = 978307200.0;

// Keeps the records in file order; a later record of the same key takes the earlier one's place.
class RecordList
{
public:
    void add(StoredRecord record)
    {
        const auto it = m_positions.constFind(record.key);
        if (it != m_positions.cend()) {
            m_records[*it] = std::move(record);
            return;
        }
        m_positions.insert(record.key, m_records.size());
        m_records.append(std::move(record));
    }
    QList<StoredRecord> take() { return std::move(m_records); }

private:
    QList<StoredRecord> m_records;
    QHash<QString, qsizetype> m_positions;
};

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

class BinaryReader
{
public:
    explicit BinaryReader(QByteArrayView bytes, const QSet<FaceDigest> *only = nullptr)
        : m_data(reinterpret_cast<const uchar *>(bytes.data())), m_size(quint64(bytes.size())),
          m_budget(4 * quint64(bytes.size()) + 1024), m_only(only)
    {
    }

    std::optional<QList<StoredRecord>> read()
    {
        if (m_size < 8 + 1 + 32)
            return std::nullopt;
        const quint64 trailer = m_size - 32;
        m_offsetSize = m_data[trailer + 6];
        m_refSize = m_data[trailer + 7];
        m_objectCount = readUnsigned(trailer + 8, 8);
        const quint64 top = readUnsigned(trailer + 16, 8);
        m_tableOffset = readUnsigned(trailer + 24, 8);
        if (m_offsetSize < 1 || m_offsetSize > 8 || m_refSize < 1 || m_refSize > 8 ||
            m_objectCount == 0 || top >= m_objectCount || m_tableOffset < 9 ||
            m_tableOffset > trailer ||
            m_objectCount > (trailer - m_tableOffset) / quint64(m_offsetSize))
            return std::nullopt;

        const auto root = dictionary(top);
        if (!root)
            return std::nullopt;
        RecordList records;
        for (quint64 i = 0; i < root->count; ++i) {
            const auto keyRef = reference(root->start + i * quint64(m_refSize));
            const auto valueRef = reference(root->start + (root->count + i) * quint64(m_refSize));
            if (!keyRef || !valueRef)
                return std::nullopt;
            if (m_only && !isWanted(*keyRef))
                continue;
            std::optional<QString> key = string(*keyRef, false);
            const auto record = dictionary(*valueRef);
            if (!key || !record)
                return std::nullopt;
            StoredRecord stored{*std::move(key), {}};
            stored.fields.reserve(qsizetype(record->count));
            for (quint64 f = 0; f < record->count; ++f) {
                const auto nameRef = reference(record->start + f * quint64(m_refSize));
                const auto fieldRef =
                    reference(record->start + (record->count + f) * quint64(m_refSize));
                if (!nameRef || !fieldRef)
                    return std::nullopt;
                std::optional<QString> name = string(*nameRef, true);
                std::optional<StoredValue> value = scalar(*fieldRef);
                if (!name || !value)
                    return std::nullopt;
                setField(stored.fields, *std::move(name), *std::move(value));
            }
            records.add(std::move(stored));
        }
        return records.take();
    }

private:
    struct Object
    {
        quint8 marker = 0;
        quint64 start = 0;
        quint64 count = 0;
    };

    // Whether the key is one of the face keys asked for; looked at without a heap string.
    bool isWanted(quint64 keyIndex) const
    {
        const auto obj = object(keyIndex);
        if (!obj || obj->count != 24 || ((obj->marker >> 4) != 0x5 && (obj->marker >> 4) != 0x6))
            return false;
        char16_t units[24];
        for (quint64 i = 0; i < 24; ++i) {
            units[i] = (obj->marker >> 4) == 0x5
                           ? char16_t(m_data[obj->start + i])
                           : qFromBigEndian<quint16>(m_data + obj->start + 2 * i);
        }
        const auto digest = digestFromFaceKey(QStringView(units, 24));
        return digest && m_only->contains(*digest);
    }

    quint64 readUnsigned(quint64 pos, int width) const
    {
        quint64 value = 0;
        for (int i = 0; i < width; ++i)
            value = (value << 8) | m_data[pos + quint64(i)];
        return value;
    }

    std::optional<quint64> reference(quint64 pos) const
    {
        const quint64 index = readUnsigned(pos, m_refSize);
        return index < m_objectCount ? std::optional(index) : std::nullopt;
    }

    // The object's marker and, for strings, data and dictionaries, its element count, all
    // checked to lie inside the object area.
    std::optional<Object> object(quint64 index) const
    {
        const quint64 offset =
            readUnsigned(m_tableOffset + index * quint64(m_offsetSize), m_offsetSize);
        if (offset < 8 || offset >= m_tableOffset)
            return std::nullopt;
        Object result{m_data[offset], offset + 1, 0};
        quint64 elementSize = 0;
        switch (result.marker >> 4) {
        case 0x4:
        case 0x5:
            elementSize = 1;
            break;
        case 0x6:
            elementSize = 2;
            break;
        case 0xD:
            elementSize = 2 * quint64(m_refSize);
            break;
        default:
            return result;
        }
        result.count = result.marker & 0xF;
        if (result.count == 0xF) {
            if (result.start >= m_tableOffset)
                return std::nullopt;
            const quint8 countMarker = m_data[result.start];
            if ((countMarker >> 4) != 0x1 || (countMarker & 0xF) > 3)
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

    bool spend(quint64 work)
    {
        if (work > m_budget)
            return false;
        m_budget -= work;
        return true;
    }

    std::optional<Object> dictionary(quint64 index)
    {
        const auto obj = object(index);
        if (!obj || (obj->marker >> 4) != 0xD || !spend(obj->count + 1))
            return std::nullopt;
        return obj;
    }

    // Names and short values repeat from record to record: they are made once and shared.
    std::optional<QString> string(quint64 index, bool shared)
    {
        if (shared) {
            const auto it = m_strings.constFind(index);
            if (it != m_strings.cend())
                return *it;
        }
        const auto obj = object(index);
        if (!obj || ((obj->marker >> 4) != 0x5 && (obj->marker >> 4) != 0x6) || !spend(obj->count))
            return std::nullopt;
        QString text(qsizetype(obj->count), Qt::Uninitialized);
        char16_t *out = reinterpret_cast<char16_t *>(text.data());
        const uchar *chars = m_data + obj->start;
        for (quint64 i = 0; i < obj->count; ++i) {
            out[i] = (obj->marker >> 4) == 0x5 ? char16_t(chars[i])
                                               : qFromBigEndian<quint16>(chars + 2 * i);
        }
        if (shared)
            m_strings.insert(index, text);
        return text;
    }

    std::optional<StoredValue> scalar(quint64 index)
    {
        const auto obj = object(index);
        if (!obj)
            return std::nullopt;
        const quint64 room = m_tableOffset - obj->start;
        const int low = obj->marker & 0xF;
        switch (obj->marker >> 4) {
        case 0x0:
            if (obj->marker == 0x08 || obj->marker == 0x09)
                return StoredValue(obj->marker == 0x09);
            return std::nullopt;
        case 0x1: {
            if (low > 4 || (quint64(1) << low) > room)
                return std::nullopt;
            if (low < 4)
                return StoredValue(qint64(readUnsigned(obj->start, 1 << low)));
            const quint64 high = readUnsigned(obj->start, 8);
            const quint64 value = readUnsigned(obj->start + 8, 8);
            const bool negative = (value >> 63) != 0;
            if ((high == 0 && !negative) || (high == ~quint64(0) && negative))
                return StoredValue(qint64(value));
            return std::nullopt;
        }
        case 0x2:
            if (low == 2 && room >= 4)
                return StoredValue(
                    double(std::bit_cast<float>(quint32(readUnsigned(obj->start, 4)))));
            if (low == 3 && room >= 8)
                return StoredValue(std::bit_cast<double>(readUnsigned(obj->start, 8)));
            return std::nullopt;
        case 0x3:
            if (obj->marker != 0x33 || room < 8)
                return std::nullopt;
            return StoredValue(PlistDate{std::bit_cast<double>(readUnsigned(obj->start, 8))});
        case 0x4:
            if (!spend(obj->count))
                return std::nullopt;
            return StoredValue(QByteArray(reinterpret_cast<const char *>(m_data + obj->start),
                                          qsizetype(obj->count)));
        case 0x5:
        case 0x6: {
            std::optional<QString> text = string(index, obj->count <= 12);
            if (!text)
                return std::nullopt;
            return StoredValue(*std::move(text));
        }
        default:
            return std::nullopt;
        }
    }

    const uchar *m_data;
    quint64 m_size;
    quint64 m_budget;
    int m_offsetSize = 0;
    int m_refSize = 0;
    quint64 m_objectCount = 0;
    quint64 m_tableOffset = 0;
    QHash<quint64, QString> m_strings;
    const QSet<FaceDigest> *m_only;
};

std::optional<qint64> parseInteger(QStringView text)
{
    text = text.trimmed();
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text = text.mid(1);
    }
    if (text.isEmpty())
        return std::nullopt;
    const quint64 limit = quint64(std::numeric_limits<qint64>::max()) + (negative ? 1 : 0);
    quint64 magnitude = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const quint64 digit = c.unicode() - u'0';
        if (magnitude > (limit - digit) / 10)
            return std::nullopt;
        magnitude = magnitude * 10 + digit;
    }
    return negative ? qint64(0 - magnitude) : qint64(magnitude);
}

class XmlReader
{
public:
    explicit XmlReader(QByteArrayView bytes)
        : m_xml(QByteArray::fromRawData(bytes.data(), bytes.size()))
    {
    }

    std::optional<QList<StoredRecord>> read()
    {
        if (!m_xml.readNextStartElement() || m_xml.name() != u"plist" ||
            !m_xml.readNextStartElement() || m_xml.name() != u"dict")
            return std::nullopt;
        RecordList records;
        while (m_xml.readNextStartElement()) {
            std::optional<QString> key = readKey();
            if (!key || m_xml.name() != u"dict")
                return std::nullopt;
            StoredRecord record{*std::move(key), {}};
            while (m_xml.readNextStartElement()) {
                std::optional<QString> name = readKey();
                std::optional<StoredValue> value = name ? readScalar() : std::nullopt;
                if (!value)
                    return std::nullopt;
                setField(record.fields, *std::move(name), *std::move(value));
            }
            if (m_xml.hasError())
                return std::nullopt;
            records.add(std::move(record));
        }
        if (m_xml.hasError())
            return std::nullopt;
        return records.take();
    }

private:
    std::optional<QString> readKey()
    {
        if (m_xml.name() != u"key")
            return std::nullopt;
        QString key = m_xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        if (m_xml.hasError() || !m_xml.readNextStartElement())
            return std::nullopt;
        return key;
    }

    std::optional<StoredValue> readScalar()
    {
        const QString tag = m_xml.name().toString();
        const QString text = m_xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        if (m_xml.hasError())
            return std::nullopt;
        if (tag == u"string")
            return StoredValue(text);
        if (tag == u"true" || tag == u"false")
            return StoredValue(tag == u"true");
        if (tag == u"integer") {
            const auto number = parseInteger(text);
            return number ? std::optional(StoredValue(*number)) : std::nullopt;
        }
        if (tag == u"real") {
            bool ok = false;
            const double number = text.trimmed().toDouble(&ok);
            return ok ? std::optional(StoredValue(number)) : std::nullopt;
        }
        if (tag == u"date") {
            const QDateTime time = QDateTime::fromString(text.trimmed(), Qt::ISODate);
            if (!time.isValid())
                return std::nullopt;
            return StoredValue(plistDateFromDateTime(time));
        }
        if (tag == u"data")
            return StoredValue(QByteArray::fromBase64(text.toLatin1()));
        return std::nullopt;
    }

    QXmlStreamReader m_xml;
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

std::optional<QList<StoredRecord>> decodeStoredRecords(QByteArrayView bytes)
{
    // The same bytes as the table reader accepts, and no others.
    if (!decodeProgressTable(bytes))
        return std::nullopt;
    if (bytes.startsWith("bplist00"))
        return BinaryReader(bytes).read();
    return XmlReader(bytes).read();
}

QList<StoredRecord> storedRecordsOf(QByteArrayView bytes, const QSet<FaceDigest> &keys)
{
    if (keys.isEmpty())
        return {};
    std::optional<QList<StoredRecord>> records =
        bytes.startsWith("bplist00") ? BinaryReader(bytes, &keys).read() : XmlReader(bytes).read();
    if (!records)
        return {};
    QList<StoredRecord> wanted;
    for (StoredRecord &record : *records) {
        const auto digest = digestFromFaceKey(record.key);
        if (digest && keys.contains(*digest))
            wanted.append(std::move(record));
    }
    return wanted;
}

QDateTime dateTimeFromPlistDate(PlistDate date)
{
    return QDateTime::fromMSecsSinceEpoch(
        qint64(std::llround((date.seconds + referenceDateOffset) * 1000.0)), Qt::UTC);
}

PlistDate plistDateFromDateTime(const QDateTime &time)
{
    return {double(time.toMSecsSinceEpoch()) / 1000.0 - referenceDateOffset};
}
