#include "core/store/xml_plist_reader.h"

#include "core/store/stored_face_fields.h"

#include <QDate>
#include <QLocale>
#include <QTime>
#include <QXmlStreamReader>

#include <limits>

namespace {

int fieldIndex(QStringView key)
{
    for (int field = 0; field < FieldCount; ++field) {
        if (key == QLatin1StringView(storedFaceFieldNames[field].data(),
                                     qsizetype(storedFaceFieldNames[field].size())))
            return field;
    }
    return -1;
}

enum class Kind { Absent, String, Integer, Real, Date, Other };

struct Value
{
    Kind kind = Kind::Absent;
    QString text;
};

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
bool isDate(QStringView text)
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

std::optional<QDateTime> parseDate(QStringView text)
{
    const QDateTime date = QDateTime::fromString(text.trimmed().toString(), Qt::ISODate);
    return date.isValid() ? std::optional<QDateTime>(date.toUTC()) : std::nullopt;
}

// A real as property lists write it ("2.5", "1e-3"), or an integer; nothing otherwise.
std::optional<double> parseNumber(const Value &value)
{
    if (value.kind == Kind::Integer) {
        const std::optional<qint64> integer = parseInteger(value.text);
        return integer ? std::optional<double>(double(*integer)) : std::nullopt;
    }
    if (value.kind != Kind::Real)
        return std::nullopt;
    bool ok = false;
    const double number = QLocale::c().toDouble(value.text.trimmed(), &ok);
    return ok ? std::optional<double>(number) : std::nullopt;
}

class Reader
{
public:
    explicit Reader(QByteArrayView bytes)
        : m_xml(QByteArray::fromRawData(bytes.data(), bytes.size()))
    {
    }

    std::optional<ProgressTable> read();

private:
    // Nothing when the record breaks the stored form; m_malformed when the XML itself does.
    std::optional<SavedProgress> readRecord();
    bool readKey(QString &key);

    QXmlStreamReader m_xml;
    bool m_malformed = false;
};

bool Reader::readKey(QString &key)
{
    if (m_xml.name() != u"key") {
        m_malformed = true;
        return false;
    }
    key = m_xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
    if (m_xml.hasError() || !m_xml.readNextStartElement()) {
        m_malformed = true; // a key without a value
        return false;
    }
    return true;
}

std::optional<SavedProgress> Reader::readRecord()
{
    if (m_xml.name() != u"dict") {
        m_xml.skipCurrentElement();
        return std::nullopt;
    }
    Value values[FieldCount];
    QString key;
    while (m_xml.readNextStartElement()) {
        if (!readKey(key))
            return std::nullopt;
        const int field = fieldIndex(key);
        const QStringView tag = m_xml.name();
        const Kind kind = tag == u"string"    ? Kind::String
                          : tag == u"integer" ? Kind::Integer
                          : tag == u"real"    ? Kind::Real
                          : tag == u"date"    ? Kind::Date
                                              : Kind::Other;
        // Values of other keys, and values of the wrong kind, are skipped unread; a skip is
        // iterative however deep the value nests.
        if (field < 0 || kind == Kind::Other) {
            m_xml.skipCurrentElement();
            if (field >= 0)
                values[field] = {Kind::Other, {}};
            continue;
        }
        Value value{kind, m_xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement)};
        if (m_xml.hasError())
            return std::nullopt;
        if ((kind == Kind::Integer && !parseInteger(value.text)) ||
            (kind == Kind::Date && !isDate(value.text))) {
            m_malformed = true;
            return std::nullopt;
        }
        values[field] = std::move(value);
    }
    if (m_xml.hasError())
        return std::nullopt;

    const auto integerIn = [&](const Value &value, qint64 low, qint64 high) {
        const std::optional<qint64> number =
            value.kind == Kind::Integer ? parseInteger(value.text) : std::nullopt;
        return number && *number >= low && *number <= high ? number : std::nullopt;
    };
    const auto absentOr = [](const Value &value, Kind kind) {
        return value.kind == Kind::Absent || value.kind == kind;
    };

    if (values[IdField].kind != Kind::String || values[TextField].kind != Kind::String)
        return std::nullopt;
    if (!absentOr(values[CardFaceIdField], Kind::Integer) ||
        !absentOr(values[LastReviewField], Kind::Date) ||
        !absentOr(values[NextReviewField], Kind::Date))
        return std::nullopt;
    if (!integerIn(values[ProgressRankField], 0, 255))
        return std::nullopt;
    const std::optional<qint64> rating = integerIn(values[RatingField], -128, 127);
    if (!rating || values[ProgressField].kind != Kind::String)
        return std::nullopt;
    const std::optional<CardFaceProgress> progress =
        cardFaceProgressFromRawValue(values[ProgressField].text);
    if (!progress)
        return std::nullopt;
    SavedProgress result;
    result.rating = qint8(*rating);
    result.progress = *progress;
    if (values[LastReviewField].kind == Kind::Date)
        result.lastReview = parseDate(values[LastReviewField].text);
    if (values[NextReviewField].kind == Kind::Date)
        result.nextReview = parseDate(values[NextReviewField].text);
    const auto integer = [&](StoredFaceField field) {
        return values[field].kind == Kind::Integer ? parseInteger(values[field].text)
                                                   : std::nullopt;
    };
    result.memory = storedReviewMemory(parseNumber(values[StabilityField]),
                                       parseNumber(values[DifficultyField]), integer(ReviewsField),
                                       integer(LapsesField), integer(LearningStepField));
    return result;
}

std::optional<ProgressTable> Reader::read()
{
    if (!m_xml.readNextStartElement() || m_xml.name() != u"plist")
        return std::nullopt;
    if (!m_xml.readNextStartElement() || m_xml.name() != u"dict")
        return std::nullopt;

    // Records are judged once all are read: of duplicate keys only the last counts.
    QHash<QString, std::optional<SavedProgress>> records;
    QString key;
    while (m_xml.readNextStartElement()) {
        if (!readKey(key))
            return std::nullopt;
        std::optional<SavedProgress> record = readRecord();
        if (m_malformed || m_xml.hasError())
            return std::nullopt;
        records.insert(key, record);
    }
    if (m_xml.hasError())
        return std::nullopt;
    // Only one object may follow <plist>; after it, nothing but the end of the document.
    if (m_xml.readNextStartElement())
        return std::nullopt;
    while (!m_xml.atEnd())
        m_xml.readNext();
    if (m_xml.hasError())
        return std::nullopt;

    ProgressTable table;
    table.reserve(records.size());
    for (auto it = records.cbegin(); it != records.cend(); ++it) {
        if (!it.value())
            return std::nullopt;
        if (const std::optional<FaceDigest> digest = digestFromFaceKey(it.key()))
            table.insert(*digest, *it.value());
    }
    return table;
}

} // namespace

std::optional<ProgressTable> readXmlProgressTable(QByteArrayView bytes)
{
    return Reader(bytes).read();
}
