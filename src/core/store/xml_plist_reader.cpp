#include "core/store/xml_plist_reader.h"

#include "core/store/stored_face_fields.h"

#include <QDate>
#include <QLocale>
#include <QTime>
#include <QXmlStreamReader>

#include <limits>
#include <vector>

namespace {

int faceFieldOf(QStringView name)
{
    for (int field = 0; field < FieldCount; ++field) {
        if (name == QLatin1StringView(storedFaceFieldNames[field].data(),
                                      qsizetype(storedFaceFieldNames[field].size())))
            return field;
    }
    return -1;
}

// Decimal only, with an optional sign, so "010" is ten. Nothing for anything malformed or
// beyond 64 signed bits.
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
    const quint64 limit = negative ? quint64(std::numeric_limits<qint64>::max()) + 1
                                   : quint64(std::numeric_limits<qint64>::max());
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

// The one form property lists write: "2024-01-02T03:04:05Z", in UTC.
bool isStrictDate(QStringView text)
{
    text = text.trimmed();
    static constexpr char pattern[] = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != qsizetype(sizeof pattern - 1))
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool digitWanted = pattern[i] == 'd';
        const bool isDigit = text[i] >= u'0' && text[i] <= u'9';
        if (digitWanted ? !isDigit : text[i] != QLatin1Char(pattern[i]))
            return false;
    }
    const auto number = [&](qsizetype from, qsizetype length) {
        return text.mid(from, length).toInt();
    };
    return QDate(number(0, 4), number(5, 2), number(8, 2)).isValid() &&
           QTime(number(11, 2), number(14, 2), number(17, 2)).isValid();
}

// A value as read, owning its text; RawValue points into it.
struct XmlValue
{
    RawValue::Type type = RawValue::Type::Other;
    bool flag = false;
    qint64 integer = 0;
    double real = 0;
    QString text;
    QByteArray data;
};

struct XmlField
{
    QString name;
    int faceField = -1;
    XmlValue value;
};

struct XmlRecord
{
    QString key;
    bool isDictionary = false;
    std::vector<XmlField> fields;
};

class Reader
{
public:
    explicit Reader(QByteArrayView bytes)
        : m_xml(QByteArray::fromRawData(bytes.data(), bytes.size()))
    {
    }

    bool read(RawRecordVisitor &visitor);

private:
    bool readKey(QString &key);
    bool readRecord(XmlRecord &record);
    // False when the XML itself is malformed, or a value of a face's own field is.
    bool readValue(XmlField &field);

    QXmlStreamReader m_xml;
};

bool Reader::readKey(QString &key)
{
    if (m_xml.name() != u"key")
        return false;
    key = m_xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
    // A key needs a value.
    return !m_xml.hasError() && m_xml.readNextStartElement();
}

bool Reader::readValue(XmlField &field)
{
    const QStringView tag = m_xml.name();
    XmlValue &value = field.value;
    using Type = RawValue::Type;
    if (tag == u"true" || tag == u"false") {
        value.type = Type::Boolean;
        value.flag = tag == u"true";
        m_xml.skipCurrentElement();
        return !m_xml.hasError();
    }
    const Type type = tag == u"string"    ? Type::String
                      : tag == u"integer" ? Type::Integer
                      : tag == u"real"    ? Type::Real
                      : tag == u"date"    ? Type::Date
                      : tag == u"data"    ? Type::Data
                                          : Type::Other;
    // Containers are skipped unread; a skip is iterative however deep the value nests.
    if (type == Type::Other) {
        m_xml.skipCurrentElement();
        return !m_xml.hasError();
    }
    value.text = m_xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
    if (m_xml.hasError())
        return false;
    const bool faceField = field.faceField >= 0;
    switch (type) {
    case Type::String:
        value.type = Type::String;
        break;
    case Type::Integer:
        if (const std::optional<qint64> number = parseInteger(value.text)) {
            value.type = Type::Integer;
            value.integer = *number;
        } else if (faceField) {
            return false;
        }
        break;
    case Type::Real: {
        bool ok = false;
        value.real = QLocale::c().toDouble(QStringView(value.text).trimmed(), &ok);
        if (ok)
            value.type = Type::Real;
        break;
    }
    case Type::Date: {
        // A face's dates only in the form that property lists write; any ISO date elsewhere.
        if (faceField && !isStrictDate(value.text))
            return false;
        const QDateTime time = QDateTime::fromString(value.text.trimmed(), Qt::ISODate);
        if (time.isValid()) {
            value.type = Type::Date;
            value.real = referenceSeconds(time);
        }
        break;
    }
    case Type::Data:
        value.type = Type::Data;
        value.data = QByteArray::fromBase64(value.text.toLatin1());
        break;
    default:
        break;
    }
    return true;
}

bool Reader::readRecord(XmlRecord &record)
{
    if (m_xml.name() != u"dict") {
        m_xml.skipCurrentElement();
        return !m_xml.hasError();
    }
    record.isDictionary = true;
    while (m_xml.readNextStartElement()) {
        XmlField field;
        if (!readKey(field.name))
            return false;
        field.faceField = faceFieldOf(field.name);
        if (!readValue(field))
            return false;
        record.fields.push_back(std::move(field));
    }
    return !m_xml.hasError();
}

RawString rawString(const QString &text)
{
    return {text.utf16(), text.size(), RawString::Utf16};
}

bool Reader::read(RawRecordVisitor &visitor)
{
    if (!m_xml.readNextStartElement() || m_xml.name() != u"plist")
        return false;
    if (!m_xml.readNextStartElement() || m_xml.name() != u"dict")
        return false;

    // Every record is read before any is looked at: of duplicate keys only the last counts.
    std::vector<XmlRecord> records;
    while (m_xml.readNextStartElement()) {
        XmlRecord record;
        if (!readKey(record.key) || !readRecord(record))
            return false;
        records.push_back(std::move(record));
    }
    if (m_xml.hasError())
        return false;
    // Only one object may follow <plist>; after it, nothing but the end of the document.
    if (m_xml.readNextStartElement())
        return false;
    while (!m_xml.atEnd())
        m_xml.readNext();
    if (m_xml.hasError())
        return false;

    std::vector<RawField> fields;
    for (size_t i = records.size(); i-- > 0;) {
        const XmlRecord &record = records[i];
        const RawString key = rawString(record.key);
        if (!visitor.wants(key))
            continue;
        if (!record.isDictionary) {
            if (!visitor.brokenRecord(key))
                return false;
            continue;
        }
        fields.clear();
        for (const XmlField &field : record.fields) {
            RawField raw;
            raw.name = rawString(field.name);
            raw.faceField = field.faceField;
            raw.value.type = field.value.type;
            raw.value.flag = field.value.flag;
            raw.value.integer = field.value.integer;
            raw.value.real = field.value.real;
            if (field.value.type == RawValue::Type::Data)
                raw.value.string = {field.value.data.constData(), field.value.data.size(),
                                    RawString::Latin1};
            else
                raw.value.string = rawString(field.value.text);
            fields.push_back(raw);
        }
        if (!visitor.record(key, quint64(i), false, fields))
            return false;
    }
    return true;
}

} // namespace

bool readXmlRecords(QByteArrayView bytes, RawRecordVisitor &visitor)
{
    return Reader(bytes).read(visitor);
}
