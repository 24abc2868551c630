#include "core/model/property_list.h"

#include "core/model/binary_plist_reader.h"
#include "core/model/xml_plist_reader.h"

#include <bit>
#include <iterator>
#include <vector>

namespace {

constexpr char binaryMagic[] = "bplist00";

// Seconds from the Unix epoch to 2001-01-01T00:00:00Z, the origin of property-list dates.
constexpr double referenceDateOffset = 978307200.0;

// The keys of a record, in the order they are written.
enum Key {
    IdKey,
    CardFaceIdKey,
    TextKey,
    RatingKey,
    LastReviewKey,
    NextReviewKey,
    ProgressRankKey,
    ProgressKey,
    KeyCount
};
constexpr const char *keyNames[KeyCount] = {"id",         "cardFaceID", "text",         "rating",
                                            "lastReview", "nextReview", "progressRank", "progress"};

constexpr int progressCount = int(std::size(allCardFaceProgresses));

int byteWidth(quint64 value)
{
    int width = 1;
    while (width < 8 && (value >> (8 * width)) != 0)
        ++width;
    return width;
}

// Writes objects one after another, remembering where each starts.
class Writer
{
public:
    Writer(quint64 objectCount, qsizetype sizeHint) : m_refSize(byteWidth(objectCount - 1))
    {
        m_offsets.reserve(objectCount);
        m_out.reserve(sizeHint);
        m_out.append(binaryMagic, 8);
    }

    void beginObject() { m_offsets.push_back(quint64(m_out.size())); }

    void writeBigEndian(quint64 value, int width)
    {
        for (int shift = 8 * (width - 1); shift >= 0; shift -= 8)
            m_out.append(char(value >> shift));
    }

    void writeMarker(quint8 type, quint64 count)
    {
        if (count < 0xF) {
            m_out.append(char((type << 4) | count));
            return;
        }
        m_out.append(char((type << 4) | 0xF));
        writeIntegerBody(qint64(count));
    }

    void writeIntegerBody(qint64 value)
    {
        // Non-negative values take 1, 2 or 4 bytes when they fit; the rest 8 signed bytes.
        const quint64 bits = quint64(value);
        const int sizeLog = value < 0 || bits > 0xFFFFFFFFu ? 3 : bits > 0xFFFF ? 2 : bits > 0xFF;
        m_out.append(char(0x10 | sizeLog));
        writeBigEndian(bits, 1 << sizeLog);
    }

    void writeInteger(qint64 value)
    {
        beginObject();
        writeIntegerBody(value);
    }

    void writeString(QStringView text)
    {
        beginObject();
        bool ascii = true;
        for (QChar c : text)
            ascii = ascii && c.unicode() < 0x80;
        if (ascii) {
            writeMarker(0x5, quint64(text.size()));
            for (QChar c : text)
                m_out.append(char(c.unicode()));
        } else {
            writeMarker(0x6, quint64(text.size()));
            for (QChar c : text) {
                m_out.append(char(c.unicode() >> 8));
                m_out.append(char(c.unicode() & 0xFF));
            }
        }
    }

    void writeDate(const QDateTime &date)
    {
        beginObject();
        m_out.append(char(0x33));
        const double seconds = double(date.toMSecsSinceEpoch()) / 1000.0 - referenceDateOffset;
        writeBigEndian(std::bit_cast<quint64>(seconds), 8);
    }

    void writeRef(quint64 index) { writeBigEndian(index, m_refSize); }

    QByteArray finish()
    {
        const quint64 tableOffset = quint64(m_out.size());
        const int offsetSize = byteWidth(tableOffset);
        for (quint64 offset : m_offsets)
            writeBigEndian(offset, offsetSize);
        m_out.append(6, '\0'); // unused bytes and sort version
        m_out.append(char(offsetSize));
        m_out.append(char(m_refSize));
        writeBigEndian(quint64(m_offsets.size()), 8);
        writeBigEndian(0, 8); // the root is the first object
        writeBigEndian(tableOffset, 8);
        return std::move(m_out);
    }

private:
    int m_refSize;
    std::vector<quint64> m_offsets;
    QByteArray m_out;
};

} // namespace

std::optional<ProgressTable> decodeProgressTable(QByteArrayView bytes)
{
    if (bytes.startsWith(QByteArrayView(binaryMagic, 8)))
        return readBinaryProgressTable(bytes);
    // Another version of the binary format is nothing we can read.
    if (bytes.startsWith("bplist"))
        return std::nullopt;
    return readXmlProgressTable(bytes);
}

QByteArray encodeProgressTable(const QList<StoredFace> &records)
{
    // Layout: the root dictionary; the key and progress strings that are used, written once
    // and shared; then per record its key string, its dictionary and the dictionary's values.
    // Counting first lets references take as few bytes as the count allows.
    const auto optionalCount = [](const CardFace &face) {
        return quint64(face.cardFaceID.has_value()) + quint64(face.lastReview.has_value()) +
               quint64(face.nextReview.has_value());
    };
    constexpr quint64 requiredObjects = 6; // key, dictionary, id, text, rating, progressRank
    bool used[KeyCount + progressCount] = {};
    for (Key key : {IdKey, TextKey, RatingKey, ProgressRankKey, ProgressKey})
        used[key] = !records.isEmpty();
    quint64 recordObjects = 0;
    qsizetype sizeHint = 128;
    for (const StoredFace &record : records) {
        const CardFace &face = record.face;
        used[CardFaceIdKey] = used[CardFaceIdKey] || face.cardFaceID;
        used[LastReviewKey] = used[LastReviewKey] || face.lastReview;
        used[NextReviewKey] = used[NextReviewKey] || face.nextReview;
        used[KeyCount + int(face.progress)] = true;
        recordObjects += requiredObjects + optionalCount(face);
        sizeHint += 128 + record.key.size() + 2 * face.text.size();
    }
    quint64 sharedIndex[KeyCount + progressCount] = {};
    quint64 next = 1;
    for (int i = 0; i < KeyCount + progressCount; ++i) {
        if (used[i])
            sharedIndex[i] = next++;
    }
    const quint64 firstRecordObject = next;

    Writer out(firstRecordObject + recordObjects, sizeHint);

    out.beginObject();
    out.writeMarker(0xD, quint64(records.size()));
    for (int pass = 0; pass < 2; ++pass) { // all key references, then all value references
        quint64 index = firstRecordObject;
        for (const StoredFace &record : records) {
            out.writeRef(index + quint64(pass));
            index += requiredObjects + optionalCount(record.face);
        }
    }

    for (int i = 0; i < KeyCount; ++i) {
        if (used[i])
            out.writeString(QString::fromLatin1(keyNames[i]));
    }
    for (int i = 0; i < progressCount; ++i) {
        if (used[KeyCount + i])
            out.writeString(rawValue(CardFaceProgress(i)));
    }

    quint64 index = firstRecordObject;
    for (const StoredFace &record : records) {
        const CardFace &face = record.face;
        out.writeString(record.key);

        Key keys[KeyCount];
        int keyCount = 0;
        keys[keyCount++] = IdKey;
        if (face.cardFaceID)
            keys[keyCount++] = CardFaceIdKey;
        keys[keyCount++] = TextKey;
        keys[keyCount++] = RatingKey;
        if (face.lastReview)
            keys[keyCount++] = LastReviewKey;
        if (face.nextReview)
            keys[keyCount++] = NextReviewKey;
        keys[keyCount++] = ProgressRankKey;
        keys[keyCount++] = ProgressKey;

        out.beginObject();
        out.writeMarker(0xD, quint64(keyCount));
        for (int i = 0; i < keyCount; ++i)
            out.writeRef(sharedIndex[keys[i]]);
        // Every value but the shared progress string is written right after the dictionary.
        quint64 value = index + 2;
        for (int i = 0; i < keyCount - 1; ++i)
            out.writeRef(value++);
        out.writeRef(sharedIndex[KeyCount + int(face.progress)]);

        out.writeString(face.id());
        if (face.cardFaceID)
            out.writeInteger(*face.cardFaceID);
        out.writeString(face.text);
        out.writeInteger(face.rating);
        if (face.lastReview)
            out.writeDate(*face.lastReview);
        if (face.nextReview)
            out.writeDate(*face.nextReview);
        out.writeInteger(face.progressRank);
        index = value;
    }
    return out.finish();
}
