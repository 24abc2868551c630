#include "core/store/property_list.h"
#include "core/store/record_matcher.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTest>

#include <numeric>
#include <tuple>

using Table = std::optional<ProgressTable>; // nothing: the bytes must not decode
Q_DECLARE_METATYPE(Table)

namespace {

// plistlib is the independent reader and writer the codec is checked against.
const char pythonPrelude[] = R"(
import sys, plistlib, hashlib, base64, datetime, json
def k(text): return base64.b64encode(hashlib.md5(text.encode()).digest()).decode()
DROP = object()
def rec(**f):
    r = {'id': 'E621E1F8-C36C-495A-93FC-0C247A3E6E5F', 'cardFaceID': 0, 'text': 't', 'rating': 0,
         'progressRank': 0, 'progress': 'new', **f}
    return {key: value for key, value in r.items() if value is not DROP}
)";

// The interpreter itself: what PATH finds may be a slow launcher script.
QString pythonPath = QStringLiteral("python3");

QByteArray runPython(const QString &script, const QByteArray &input = {})
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel); // errors go to the test log
    process.start(pythonPath, {QStringLiteral("-c"), QString::fromUtf8(pythonPrelude) + script});
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    const bool ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return ok ? process.readAllStandardOutput() : QByteArray();
}

ProgressTable tableOf(const QList<std::tuple<QString, int, CardFaceProgress>> &records)
{
    ProgressTable table;
    for (const auto &[text, rating, progress] : records)
        table.insert(faceDigest(text), SavedProgress{qint8(rating), progress});
    return table;
}

// The table of the one record of face "t", rated as given and learning.
Table one(int rating)
{
    return tableOf({{"t", rating, CardFaceProgress::Learning}});
}

// What a written face gives back.
SavedProgress savedOf(const CardFace &face)
{
    SavedProgress saved(face.rating, face.progress);
    saved.lastReview = face.lastReview;
    saved.nextReview = face.nextReview;
    saved.memory = face.memory;
    return saved;
}

// The one record of face "t" as rec() writes it, with the schedule given.
Table scheduled(std::optional<ReviewMemory> memory,
                std::optional<QDateTime> lastReview = std::nullopt)
{
    SavedProgress saved(0, CardFaceProgress::New);
    saved.memory = memory;
    saved.lastReview = lastReview;
    return ProgressTable{{faceDigest(u"t"), saved}};
}

StoredFace stored(const QString &text, int rating, CardFaceProgress progress)
{
    CardFace face(text);
    face.rating = qint8(rating);
    face.progress = progress;
    return {faceKey(text), face};
}

QByteArray bigEndian(quint64 value, int width)
{
    return QByteArray::fromHex(QByteArray::number(value, 16).rightJustified(16, '0')).last(width);
}

// The marker byte of a binary object, with the count that follows it when it does not fit.
QByteArray marker(int type, qsizetype count)
{
    if (count < 15)
        return QByteArray(1, char(type << 4 | count));
    return QByteArray(1, char(type << 4 | 0xF)) + '\x12' + bigEndian(quint64(count), 4);
}
QByteArray ascii(const QByteArray &text)
{
    return marker(5, text.size()) + text;
}
QByteArray dict(const QList<int> &keys, const QList<int> &values, int refSize = 1)
{
    QByteArray out = marker(0xD, keys.size());
    for (int ref : keys + values)
        out += bigEndian(quint64(ref), refSize);
    return out;
}

// A binary property list of the objects, the top one first, followed in the offset table by
// `aliases` more offsets all at object 2.
QByteArray bplist(const QList<QByteArray> &objects, int refSize = 1, int aliases = 0)
{
    QByteArray out("bplist00"), offsets;
    for (const QByteArray &object : objects) {
        offsets += bigEndian(quint64(out.size()), 4);
        out += object;
    }
    offsets += offsets.mid(8, 4).repeated(aliases);
    return out + offsets + QByteArray(6, '\0') + char(4) + char(refSize) +
           bigEndian(quint64(objects.size() + aliases), 8) + QByteArray(8, '\0') +
           bigEndian(quint64(out.size()), 8);
}

// The objects of a table of face "t", rated 1 and learning: the root (0), the key (1), the record
// (2) and its entries in pairs from 3 on. Extra entries follow the standard ones.
QList<QByteArray> oneRecord(const QList<QPair<QByteArray, QByteArray>> &extra = {})
{
    QList<QByteArray> o{dict({1}, {2}), ascii(faceKey(u"t").toLatin1()), QByteArray()};
    for (const char *entry : {"id", "E621E1F8-C36C-495A-93FC-0C247A3E6E5F", "text", "t", "rating",
                              "", "progressRank", "", "progress", "learning"})
        o << ascii(entry);
    o[8] = "\x10\x01";               // the rating, 1
    o[10] = QByteArray("\x10\0", 2); // the rank, 0
    for (const auto &[key, value] : extra)
        o << ascii(key) << value;
    QList<int> keys, values;
    for (int i = 3; i < o.size(); i += 2)
        keys << i, values << i + 1;
    o[2] = dict(keys, values);
    return o;
}

// An XML table of face "t", rated 1 and learning, with one more entry; it may replace the rating.
QByteArray xmlTable(const QString &key, const QString &value)
{
    return QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>
<key>%1</key><dict><key>id</key><string>x</string><key>text</key><string>t</string>
<key>rating</key><integer>1</integer><key>progressRank</key><integer>0</integer>
<key>progress</key><string>learning</string><key>%2</key>%3</dict></dict></plist>)")
        .arg(faceKey(u"t"), key, value)
        .toUtf8();
}

// No prefix of a file may decode.
void checkTruncations(const QByteArray &bytes, qsizetype end)
{
    for (qsizetype size = 0; size < end; ++size)
        QVERIFY2(!decodeProgressTable(bytes.first(size)), qPrintable(QString::number(size)));
}

} // namespace

class TestPropertyList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(pythonPath).isEmpty())
            QSKIP("python3 with plistlib is needed as the reference reader and writer");
        pythonPath =
            QString::fromUtf8(runPython(QStringLiteral("print(sys.executable)"))).trimmed();
        QVERIFY(!pythonPath.isEmpty());
    }

    void encodedTableLoadsInPlistlibAndDecodes()
    {
        QList<StoredFace> records{stored(QStringLiteral("Paris\n"), -3, CardFaceProgress::Learning),
                                  stored(QStringLiteral("Čaj ☕ and a NUL: ") + QChar(0) + u'\n',
                                         127, CardFaceProgress::Abandoned)};
        records[0].face.cardFaceID = qint64(1) << 40;
        records[1].face.cardFaceID = -1;
        records[1].face.lastReview = QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5), Qt::UTC);
        records[1].face.progressRank = 255;
        records[1].face.memory = ReviewMemory{12.5, 3.75, 4, 1, 2};
        records[0].face.memory = ReviewMemory{0.1 + 0.2, 10, 1, 0, std::nullopt};
        const QByteArray small = encodeProgressTable(records);
        checkTruncations(small, small.size());
        // Every single bit flip: any table that comes back holds no more than was written.
        for (qsizetype bit = 0; bit < 8 * small.size(); ++bit) {
            QByteArray flipped = small;
            flipped[bit / 8] = char(flipped[bit / 8] ^ (1 << (bit % 8)));
            QVERIFY(decodeProgressTable(flipped).value_or(ProgressTable{}).size() <= 2);
        }

        // Past 65,536 objects: three-byte references and extended counts.
        for (int i = 0; i < 40000; ++i)
            records << stored(QStringLiteral("face %1 ").arg(i).repeated(i % 7 + 1), i % 256 - 128,
                              allCardFaceProgresses[i % 5]);
        // Held one byte a character, but not ASCII: written as UTF-16.
        records << stored(u"café ÿ\n"_qs, 5, CardFaceProgress::Mastered);
        const QByteArray bytes = encodeProgressTable(records);
        QCOMPARE(bytes.count("progressRank"), 1); // key strings are shared

        ProgressTable expectedTable;
        for (const StoredFace &record : records)
            expectedTable.insert(faceDigest(record.face.text), savedOf(record.face));
        QVERIFY(decodeProgressTable(bytes) == expectedTable);
        QVERIFY(decodeProgressTable(encodeProgressTable({})) == ProgressTable{});

        // Each record as its key and then "field type value" in the order written.
        const QByteArray json = runPython(
            QStringLiteral(
                "def show(v): return v.isoformat() if isinstance(v, datetime.datetime) else v\n"
                "d = plistlib.loads(sys.stdin.buffer.read())\n"
                "print(json.dumps([[key] + [f'{f} {type(v).__name__} {show(v)}'"
                " for f, v in r.items()] for key, r in d.items()]))"),
            bytes);
        const QJsonArray loaded = QJsonDocument::fromJson(json).array();
        QCOMPARE(loaded.size(), records.size());
        for (qsizetype i = 0; i < records.size(); ++i) {
            const CardFace &face = records[i].face;
            QStringList expected{records[i].key, "id str " + face.id()};
            if (face.cardFaceID)
                expected << QStringLiteral("cardFaceID int %1").arg(*face.cardFaceID);
            expected << "text str " + face.text.toString()
                     << QStringLiteral("rating int %1").arg(face.rating);
            if (face.lastReview)
                expected << QStringLiteral("lastReview datetime 2024-01-02T03:04:05");
            expected << QStringLiteral("progressRank int %1").arg(face.progressRank);
            if (i == 0)
                expected << "stability float 0.30000000000000004"
                         << "difficulty float 10.0"
                         << "reviews int 1"
                         << "lapses int 0";
            if (i == 1)
                expected << "stability float 12.5"
                         << "difficulty float 3.75"
                         << "reviews int 4"
                         << "lapses int 1"
                         << "learningStep int 2";
            expected << "progress str " + rawValue(face.progress);
            QCOMPARE(loaded[i].toVariant().toStringList(), expected);
        }
    }

    // Files that decode to the table given, or not at all; no prefix of a small one decodes.
    void decode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Table>("expected");

        // Tables as plistlib writes them, in binary and, where no NUL character rules it out, XML.
        QStringList literals;
        QList<QPair<const char *, Table>> tables;
        const auto row = [&](const char *name, const char *literal, Table ex) {
            literals << QString::fromUtf8(literal);
            tables.append({name, ex});
        };
        ProgressTable everyProgress;
        for (int i = 0; i < 5; ++i)
            everyProgress.insert(faceDigest(rawValue(allCardFaceProgresses[i])),
                                 SavedProgress{qint8(i), allCardFaceProgresses[i]});

        row("empty root", "{}", ProgressTable{});
        row("dates, extra keys of every kind",
            "{k('Paris\\n'): rec(text='Paris\\n', rating=-3, progress='learning',"
            " lastReview=datetime.datetime(2024, 1, 2, 3, 4, 5),"
            " nextReview=datetime.datetime(1970, 1, 1), notes=[1, [2.5, {'a': b'x'}], {'b': True}],"
            " huge=2**64 - 1, blob=b'\\x00', flag=False, real=1.5)}",
            [] {
                SavedProgress saved(-3, CardFaceProgress::Learning);
                saved.lastReview = QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5), Qt::UTC);
                saved.nextReview = QDateTime(QDate(1970, 1, 1), QTime(0, 0), Qt::UTC);
                return ProgressTable{{faceDigest(u"Paris\n"), saved}};
            }());
        // The scheduler's keys: numbers of either kind are brought into range; anything else
        // drops the memory, never the record.
        row("schedule",
            "{k('t'): rec(stability=2.5, difficulty=4.25, reviews=3, lapses=1,"
            " learningStep=0)}",
            scheduled(ReviewMemory{2.5, 4.25, 3, 1, 0}));
        row("schedule of integers, out of range, no counts",
            "{k('t'): rec(stability=40000, difficulty=0, learningStep=-2)}",
            scheduled(ReviewMemory{36500, 1, 0, 0, 0}));
        row("schedule with a date",
            "{k('t'): rec(stability=1e-9, difficulty=11.0, reviews=-4,"
            " lastReview=datetime.datetime(2026, 3, 29, 1, 30))}",
            scheduled(ReviewMemory{0.001, 10, 0, 0, std::nullopt},
                      QDateTime(QDate(2026, 3, 29), QTime(1, 30), Qt::UTC)));
        row("stability as text", "{k('t'): rec(stability='2.5', difficulty=4.0, reviews=1)}",
            scheduled(std::nullopt));
        row("no difficulty", "{k('t'): rec(stability=2.5, reviews=1, lapses=0)}",
            scheduled(std::nullopt));
        row("stability not a number", "{k('t'): rec(stability=float('nan'), difficulty=4.0)}",
            scheduled(std::nullopt));
        row("stability zero", "{k('t'): rec(stability=0.0, difficulty=4.0)}",
            scheduled(std::nullopt));
        row("every progress value, optional key missing",
            "{k(p): rec(progress=p, rating=i, cardFaceID=DROP) for i, p in"
            " enumerate(['new', 'learning', 'mastered', 'archived', 'abandoned'])}",
            everyProgress);
        row("new face with a rating", "{k('a'): rec(rating=2, progress='new')}",
            tableOf({{"a", 2, CardFaceProgress::New}}));
        row("widest integers",
            "{k('a'): rec(cardFaceID=2**63 - 1, rating=127, progressRank=255),"
            " k('b'): rec(cardFaceID=-2**63, rating=-128)}",
            tableOf({{"a", 127, CardFaceProgress::New}, {"b", -128, CardFaceProgress::New}}));
        row("NUL and other text",
            "{k('a\\x00b'): rec(text='a\\x00b\\u010c\\u2615', rating=1), 'x\\x00': rec()}",
            tableOf({{QStringLiteral("a") + QChar(0) + u'b', 1, CardFaceProgress::New}}));
        row("key that is no face key", "{'not a key': rec(), k('a')[:-2] + 'AA': rec()}",
            ProgressTable{});
        for (const char *bad :
             {"{k('a'): rec(cardFaceID=2**63)}", "{k('a'): rec(rating=128)}",
              "{k('a'): rec(progressRank=-1)}", "{k('a'): rec(rating=True)}", "{k('a'): rec(id=5)}",
              "{k('a'): rec(lastReview='2024-01-02T03:04:05Z')}",
              "{k('a'): rec(progress='Mastered')}", "{k('a'): rec(progress='new ')}",
              "{k('a'): rec(text=DROP)}", "{k('a'): rec(), 'x': rec(rating=500)}", "{k('a'): 5}",
              "[rec()]"})
            row(bad, bad, std::nullopt);
        const QByteArrayList dumps = runPython(QStringLiteral(R"(for value in [%1]:
    print(base64.b64encode(plistlib.dumps(value, fmt=plistlib.FMT_BINARY, sort_keys=False)).decode())
    try: print(base64.b64encode(plistlib.dumps(value, sort_keys=False)).decode())
    except ValueError: print())")
                                                   .arg(literals.join(u',')))
                                         .split('\n');
        QCOMPARE(dumps.size(), 2 * tables.size() + 1);
        for (qsizetype i = 0; i < 2 * tables.size(); ++i) {
            const auto &[name, expected] = tables[i / 2];
            if (!dumps[i].isEmpty())
                QTest::addRow("%s, %s", name, i % 2 ? "XML" : "binary")
                    << QByteArray::fromBase64(dumps[i]) << expected;
        }

        // Hand-made files that decode to the one record of face "t" or not at all.
        const Table no;
        const auto extra = [](const char *name, Table expected,
                              const QList<QPair<QByteArray, QByteArray>> &entries) {
            QTest::newRow(name) << bplist(oneRecord(entries)) << expected;
        };
        extra("16-byte -1", one(-1), {{"rating", '\x14' + QByteArray(16, '\xFF')}});
        extra("16-byte 2^64", no, {{"rating", '\x14' + bigEndian(1, 8) + bigEndian(0, 8)}});
        extra("16-byte 2^63 cardFaceID", no,
              {{"cardFaceID", '\x14' + bigEndian(0, 8) + bigEndian(1ull << 63, 8)}});
        extra("integer of 32 bytes", no, {{"rating", '\x15' + QByteArray(32, 0)}});
        extra("lone surrogate in text", one(1), {{"text", QByteArray("\x62\xD8\0\0x", 5)}});
        extra("later duplicate key wins", one(2),
              {{"rating", "\x11\x01\xF4"}, {"rating", "\x10\x02"}});
        extra("earlier duplicate key loses", no,
              {{"rating", "\x10\x02"}, {"rating", "\x11\x01\xF4"}});
        extra("string count past the objects", no,
              {{"text", "\x5F\x12" + bigEndian(0x7FFFFFFF, 4)}});
        QTest::newRow("dictionary count 2^62")
            << bplist({"\xDF\x13" + bigEndian(1ull << 62, 8)}) << no;

        // The same key in UTF-16 after a record that breaks the rules: only the last counts.
        QList<QByteArray> o = oneRecord({{"rating", "\x11\x01\xF4"}});
        o << marker(6, 24) + QStringEncoder(QStringEncoder::Utf16BE).encode(faceKey(u"t"))
          << oneRecord()[2];
        o[0] = dict({1, int(o.size()) - 2}, {2, int(o.size()) - 1});
        QTest::newRow("duplicate root key in UTF-16, earlier record bad") << bplist(o) << one(1);

        // One record under several keys, as encoders that share equal objects write it. The
        // root is walked from its last key: first a face key meets the record, then one that is
        // no face key.
        o = oneRecord();
        o << ascii(faceKey(u"u").toLatin1());
        o[0] = dict({1, int(o.size()) - 1}, {2, 2});
        const Table both =
            tableOf({{"t", 1, CardFaceProgress::Learning}, {"u", 1, CardFaceProgress::Learning}});
        QTest::newRow("record shared by two face keys") << bplist(o) << both;
        o << ascii("no face key");
        o[0] = dict({1, int(o.size()) - 2, int(o.size()) - 1}, {2, 2, 2});
        QTest::newRow("record shared with a key that is no face key") << bplist(o) << both;

        // Fields of a good file broken one at a time: the root at 8, the record at 41 and its first
        // key at 52; from the end, the trailer's fields and the offset table before it.
        const QByteArray good = bplist(oneRecord());
        QTest::newRow("plain crafted table") << good << one(1);
        QCOMPARE(good.mid(52, 3), QByteArray("\x52id"));
        const QList<std::tuple<const char *, qsizetype, QByteArray>> patches{
            {"root is its own record", 10, QByteArray(1, 0)},
            {"record is its own text", 48, "\x02"},
            {"reference out of range", 51, "\xC8"},
            {"record key an integer", 52, QByteArray("\x11\0\x01", 3)},
            {"offset size 0", -26, QByteArray(1, 0)},
            {"reference size 9", -25, "\x09"},
            {"no objects", -24, bigEndian(0, 8)},
            {"2^64-1 objects", -24, bigEndian(~0ull, 8)},
            {"top past the objects", -16, bigEndian(13, 8)},
            {"table past the end", -8, bigEndian(~0ull, 8)},
            {"table in the header", -8, bigEndian(3, 8)},
            {"root inside the offset table", -84, bigEndian(good.size() - 84, 4)}};
        for (const auto &[name, at, bytes] : patches)
            QTest::newRow(name) << QByteArray(good).replace(at < 0 ? good.size() + at : at,
                                                            bytes.size(), bytes)
                                << no;
        // XML values as plistlib reads them, in an extra entry that replaces the rating or not.
        const auto xml = [](const char *key, const QString &value, Table expected) {
            QTest::addRow("%s %s", key, qPrintable(value.left(40)))
                << xmlTable(QString::fromLatin1(key), value) << expected;
        };
        for (const auto &[text, rating] : {std::pair("010", 10), {"+5", 5}, {"-0", 0}, {" 7\n", 7}})
            xml("rating", QStringLiteral("<integer>%1</integer>").arg(text), one(rating));
        for (const char *text :
             {"0x10", "1e2", "", "--1", "1 2", "\u0663", "99999999999999999999", "<b/>1"})
            xml("rating", QStringLiteral("<integer>%1</integer>").arg(text), no);
        Table dated = one(1);
        dated->begin()->lastReview = QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5), Qt::UTC);
        xml("lastReview", "<date>2024-01-02T03:04:05Z</date>", dated);
        for (const char *text :
             {"2024-02-30T00:00:00Z", "2024-01-02 03:04:05Z", "2024-01-02T03:04:05"})
            xml("lastReview", QStringLiteral("<date>%1</date>").arg(text), no);
        const QString deep = QStringLiteral("<array>").repeated(100000) + "<dict/>";
        xml("notes", deep + QStringLiteral("</array>").repeated(100000), one(1));
        for (const char *value : {"<array><dict></array>", "", "<string>&#0;</string>"})
            xml("notes", value, no);
        for (const char *document :
             {"<plist><dict/><dict/></plist>", "<plist><dict><dict/></dict></plist>",
              "<plist><dict><key>a</key><string>x</string></dict></plist>", "<dict/>", "bplist01",
              "text",
              "<!DOCTYPE plist [<!ENTITY a \"aaaaaaaaaaaaaaaa\"><!ENTITY b "
              "\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c "
              "\"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d "
              "\"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">]>"
              "<plist><dict><key>&d;&d;&d;&d;&d;&d;&d;&d;</key><dict/></dict></plist>"})
            QTest::addRow("%.40s", document) << QByteArray(document) << no;
    }
    void decode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Table, expected);
        QVERIFY(decodeProgressTable(bytes) == expected);
        // The walk made before the faces are read takes no file that the decoder refuses.
        if (walkSavedRecords(bytes))
            QVERIFY(expected.has_value());
        if (expected && bytes.size() < 5000)
            checkTruncations(bytes, bytes.startsWith("bplist") ? bytes.size()
                                                               : bytes.indexOf("</plist>") + 8);
    }

    // A key that is no face key is made into a string each time the walk meets it: one long
    // key under many entries is refused once that would cost more than the file could hold,
    // by the table decoded whole and the walk beside the faces alike.
    void keysThatAreNoFaceKeysAreBounded_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<bool>("decodes");
        QTest::newRow("repeated a few times") << 3 << true;
        QTest::newRow("repeated past the budget") << 60 << false;
    }
    void keysThatAreNoFaceKeysAreBounded()
    {
        QFETCH(int, entries);
        QFETCH(bool, decodes);
        QList<QByteArray> o = oneRecord();
        o[1] = ascii(QByteArray(1000, 'k'));
        o[0] = dict(QList<int>(entries, 1), QList<int>(entries, 2));
        const QByteArray bytes = bplist(o);
        const Table table = decodeProgressTable(bytes);
        QCOMPARE(table.has_value(), decodes);
        if (table)
            QVERIFY(table->isEmpty());
        MatchedRecords matched;
        QCOMPARE(matchSavedRecords(bytes, {}, {}, &matched), decodes);
    }

    void referenceBombs()
    {
        // Sixty thousand keys share one record of sixty thousand entries: checked once.
        const int n = 60000;
        QList<QByteArray> o = oneRecord();
        QList<int> keys{3, 5, 7, 9, 11}, values{4, 6, 8, 10, 12}, rootKeys;
        keys.resize(n, 13);
        values.resize(n, 13);
        o << ascii("extra");
        o[2] = dict(keys, values, 3);
        for (int i = 0; i < n; ++i)
            o << ascii("k" + QByteArray::number(i)), rootKeys << int(o.size()) - 1;
        o[0] = dict(rootKeys, QList<int>(n, 2), 3);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(decodeProgressTable(bplist(o, 3)) == ProgressTable{});

        // As many distinct objects, all placed at the offset of that one large record; what it
        // decodes to does not matter, only that it ends soon.
        QList<int> aliases(n);
        std::iota(aliases.begin(), aliases.end(), int(o.size()));
        o[0] = dict(rootKeys, aliases, 3);
        [[maybe_unused]] const Table aliased = decodeProgressTable(bplist(o, 3, n));
        QVERIFY2(timer.elapsed() < 20000, "shared records must not cost quadratic time");
    }
};

QTEST_GUILESS_MAIN(TestPropertyList)
#include "test_property_list.moc"
