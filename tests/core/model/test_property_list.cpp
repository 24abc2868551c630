#include "core/model/property_list.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <tuple>

using Expected = QList<std::tuple<QString, int, CardFaceProgress>>; // text, rating, progress
Q_DECLARE_METATYPE(std::optional<Expected>)

namespace {

// In place of the rating of the one record when the bytes must not decode.
const int undecodable = -1000;

// plistlib is the independent reader and writer the codec is checked against.
const char pythonPrelude[] = R"(
import sys, plistlib, hashlib, base64, datetime, json
def k(text): return base64.b64encode(hashlib.md5(text.encode()).digest()).decode()
DROP = object()
def rec(**fields):
    r = {'id': 'E621E1F8-C36C-495A-93FC-0C247A3E6E5F', 'cardFaceID': 0, 'text': 't',
         'rating': 0, 'progressRank': 0, 'progress': 'new'}
    for key, value in fields.items():
        if value is DROP: r.pop(key)
        else: r[key] = value
    return r
)";

// The interpreter itself: what PATH finds may be a slow launcher script.
QString pythonPath = QStringLiteral("python3");

QByteArray runPython(const QString &script, const QByteArray &input = {})
{
    QProcess process;
    process.start(pythonPath,
                  QStringList{QStringLiteral("-c"), QString::fromUtf8(pythonPrelude) + script});
    if (!process.waitForStarted())
        return {};
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning().noquote() << process.readAllStandardError();
        return {};
    }
    return process.readAllStandardOutput();
}

// What plistlib writes for each (Python literal, "binary" or "xml"), in one run.
QList<QByteArray> plistlibDumps(const QList<QPair<QString, QString>> &requests)
{
    QJsonArray json;
    for (const auto &[literal, format] : requests)
        json.append(QJsonArray{literal, format});
    const QByteArray output = runPython(
        QStringLiteral("out = []\n"
                       "for literal, fmt in json.load(sys.stdin):\n"
                       "    fmt = plistlib.FMT_XML if fmt == 'xml' else plistlib.FMT_BINARY\n"
                       "    data = plistlib.dumps(eval(literal), fmt=fmt, sort_keys=False)\n"
                       "    out.append(base64.b64encode(data).decode())\n"
                       "print(json.dumps(out))"),
        QJsonDocument(json).toJson());
    QList<QByteArray> dumps;
    for (const QJsonValue &dump : QJsonDocument::fromJson(output).array())
        dumps.append(QByteArray::fromBase64(dump.toString().toLatin1()));
    return dumps;
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
    QByteArray out;
    for (int shift = 8 * (width - 1); shift >= 0; shift -= 8)
        out.append(char(value >> shift));
    return out;
}

QByteArray integer(qint64 value)
{
    return '\x13' + bigEndian(quint64(value), 8);
}
QByteArray wideInteger(quint64 high, quint64 low)
{
    return '\x14' + bigEndian(high, 8) + bigEndian(low, 8);
}
QByteArray marker(int type, qsizetype count)
{
    if (count < 15)
        return QByteArray(1, char(type << 4 | count));
    return QByteArray(1, char(type << 4 | 0xF)) + '\x12' + bigEndian(quint64(count), 4);
}
QByteArray utf16(const QString &text)
{
    QByteArray object = marker(6, text.size());
    for (QChar c : text)
        object += bigEndian(c.unicode(), 2);
    return object;
}

// Builds binary property lists by hand, for files no encoder would write.
struct Crafted
{
    QList<QByteArray> objects;
    int refSize = 1;
    QHash<QByteArray, int> strings;

    int add(const QByteArray &object)
    {
        objects.append(object);
        return int(objects.size()) - 1;
    }
    int ascii(const QByteArray &text)
    {
        if (!strings.contains(text))
            strings.insert(text, add(marker(5, text.size()) + text));
        return strings.value(text);
    }
    int keyOfT() { return ascii(faceKey(u"t").toLatin1()); }
    QByteArray dictBody(const QList<QPair<int, int>> &entries) const
    {
        QByteArray out = marker(0xD, entries.size());
        for (const auto &entry : entries)
            out += bigEndian(quint64(entry.first), refSize);
        for (const auto &entry : entries)
            out += bigEndian(quint64(entry.second), refSize);
        return out;
    }
    // A record of face "t", rated 1 and learning.
    QList<QPair<int, int>> standardEntries()
    {
        return {{ascii("id"), ascii("E621E1F8-C36C-495A-93FC-0C247A3E6E5F")},
                {ascii("text"), ascii("t")},
                {ascii("rating"), add(integer(1))},
                {ascii("progressRank"), add(integer(0))},
                {ascii("progress"), ascii("learning")}};
    }
    // A valid record with entries (key and object reference) added after the standard ones.
    int record(const QList<QPair<QByteArray, int>> &extra = {})
    {
        QList<QPair<int, int>> entries = standardEntries();
        for (const auto &[key, value] : extra)
            entries.append({ascii(key), value});
        return add(dictBody(entries));
    }
    QByteArray table(const QList<QPair<QByteArray, int>> &extra)
    {
        const int root = add({}); // filled in last: the root holds references to the rest
        objects[root] = dictBody({{keyOfT(), record(extra)}});
        return build(root);
    }
    QByteArray build(int top = 0) const
    {
        QByteArray out("bplist00");
        QList<quint64> offsets;
        for (const QByteArray &object : objects) {
            offsets.append(quint64(out.size()));
            out += object;
        }
        const quint64 tableOffset = quint64(out.size());
        for (quint64 offset : offsets)
            out += bigEndian(offset, 4);
        out += QByteArray(6, '\0') + char(4) + char(refSize);
        return out + bigEndian(quint64(objects.size()), 8) + bigEndian(quint64(top), 8) +
               bigEndian(tableOffset, 8);
    }
};

// An XML table of face "t", rated 1 and learning, with one more entry; it may replace the rating.
QByteArray xmlTable(const QString &key, const QString &value)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<plist version=\"1.0\"><dict><key>%1</key><dict>"
                          "<key>id</key><string>x</string><key>text</key><string>t</string>"
                          "<key>rating</key><integer>1</integer>"
                          "<key>progressRank</key><integer>0</integer>"
                          "<key>progress</key><string>learning</string>"
                          "<key>%2</key>%3</dict></dict></plist>")
        .arg(faceKey(u"t"), key, value)
        .toUtf8();
}

} // namespace

class TestPropertyList : public QObject
{
    Q_OBJECT

    QHash<QPair<QString, QString>, QByteArray> m_dumps;

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
        // Past 65,536 objects: three-byte references and extended counts.
        for (int i = 0; i < 40000; ++i)
            records << stored(QStringLiteral("face %1 ").arg(i).repeated(i % 7 + 1), i % 256 - 128,
                              allCardFaceProgresses[i % 5]);
        const QByteArray bytes = encodeProgressTable(records);
        QCOMPARE(bytes.count("progressRank"), 1); // key strings are shared

        ProgressTable expectedTable;
        for (const StoredFace &record : records)
            expectedTable.insert(faceDigest(record.face.text),
                                 SavedProgress{record.face.rating, record.face.progress});
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
            expected << "text str " + face.text << QStringLiteral("rating int %1").arg(face.rating);
            if (face.lastReview)
                expected << QStringLiteral("lastReview datetime 2024-01-02T03:04:05");
            expected << QStringLiteral("progressRank int %1").arg(face.progressRank)
                     << "progress str " + rawValue(face.progress);
            QCOMPARE(loaded[i].toVariant().toStringList(), expected);
        }
    }

    void plistlibTablesDecode_data()
    {
        QTest::addColumn<QString>("literal");
        QTest::addColumn<std::optional<Expected>>("expected");
        QList<QPair<QString, QString>> requests;
        const auto row = [&](const char *name, const QString &literal, std::optional<Expected> ex) {
            QTest::newRow(name) << literal << ex;
            requests.append({literal, QStringLiteral("binary")});
            if (!literal.contains(u"\\x00")) // XML cannot hold a NUL character
                requests.append({literal, QStringLiteral("xml")});
        };
        const auto bad = [&](const char *name, const char *literal) {
            row(name, QString::fromUtf8(literal), std::nullopt);
        };
        using P = CardFaceProgress;

        row("empty root", "{}", Expected{});
        row("dates, extra keys of every kind",
            "{k('Paris\\n'): rec(text='Paris\\n', rating=-3, progress='learning',"
            " lastReview=datetime.datetime(2024, 1, 2, 3, 4, 5),"
            " nextReview=datetime.datetime(1970, 1, 1), notes=[1, [2.5, {'a': b'x'}], {'b': True}],"
            " huge=2**64 - 1, blob=b'\\x00', flag=False, real=1.5)}",
            Expected{{"Paris\n", -3, P::Learning}});
        row("every progress value",
            "{k(p): rec(progress=p, rating=i) for i, p in"
            " enumerate(['new', 'learning', 'mastered', 'archived', 'abandoned'])}",
            Expected{{"new", 0, P::New},
                     {"learning", 1, P::Learning},
                     {"mastered", 2, P::Mastered},
                     {"archived", 3, P::Archived},
                     {"abandoned", 4, P::Abandoned}});
        row("optional keys missing", "{k('a'): rec(cardFaceID=DROP, rating=2)}",
            Expected{{"a", 2, P::New}});
        row("widest integers",
            "{k('a'): rec(cardFaceID=2**63 - 1, rating=127, progressRank=255),"
            " k('b'): rec(cardFaceID=-2**63, rating=-128)}",
            Expected{{"a", 127, P::New}, {"b", -128, P::New}});
        row("NUL and other text",
            "{k('a\\x00b'): rec(text='a\\x00b\\u010c\\u2615', rating=1), 'x\\x00': rec()}",
            Expected{{QStringLiteral("a") + QChar(0) + u'b', 1, P::New}});
        row("key that is no face key", "{'not a key': rec(), k('a')[:-2] + 'AA': rec()}",
            Expected{});
        bad("cardFaceID beyond 64 bits", "{k('a'): rec(cardFaceID=2**63)}");
        bad("rating 128", "{k('a'): rec(rating=128)}");
        bad("rating -129", "{k('a'): rec(rating=-129)}");
        bad("progressRank 256", "{k('a'): rec(progressRank=256)}");
        bad("progressRank -1", "{k('a'): rec(progressRank=-1)}");
        bad("rating a bool", "{k('a'): rec(rating=True)}");
        bad("rating a real", "{k('a'): rec(rating=1.0)}");
        bad("rating a string", "{k('a'): rec(rating='1')}");
        bad("id an integer", "{k('a'): rec(id=5)}");
        bad("lastReview a string", "{k('a'): rec(lastReview='2024-01-02T03:04:05Z')}");
        bad("progress capitalised", "{k('a'): rec(progress='Mastered')}");
        bad("progress missing", "{k('a'): rec(progress=DROP)}");
        bad("text missing", "{k('a'): rec(text=DROP)}");
        bad("id missing", "{k('a'): rec(id=DROP)}");
        bad("bad record under a non-key", "{k('a'): rec(), 'x': rec(rating=500)}");
        bad("record not a dictionary", "{k('a'): 5}");
        bad("root an array", "[rec()]");

        const QList<QByteArray> dumps = plistlibDumps(requests);
        QCOMPARE(dumps.size(), requests.size());
        for (qsizetype i = 0; i < requests.size(); ++i)
            m_dumps.insert(requests[i], dumps[i]);
    }
    void plistlibTablesDecode()
    {
        QFETCH(QString, literal);
        QFETCH(std::optional<Expected>, expected);
        for (const QString &format : {QStringLiteral("binary"), QStringLiteral("xml")}) {
            if (!m_dumps.contains({literal, format}))
                continue;
            const std::optional<ProgressTable> table =
                decodeProgressTable(m_dumps.value({literal, format}));
            QVERIFY2(table.has_value() == expected.has_value(), qPrintable(format));
            ProgressTable wanted;
            for (const auto &[text, rating, progress] : expected.value_or(Expected{}))
                wanted.insert(faceDigest(text), SavedProgress{qint8(rating), progress});
            if (table)
                QCOMPARE(*table, wanted);
        }
    }

    // Hand-made files that either decode to the one record of face "t" or not at all.
    void oneRecordFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("rating");
        const int no = undecodable;
        const auto row = [](const char *name, int rating, auto build) {
            Crafted p;
            QTest::newRow(name) << build(p) << rating;
        };
        // The record gets the given objects under the given keys.
        const auto extra = [&](const char *name, int rating,
                               const QList<QPair<QByteArray, QByteArray>> &entries) {
            row(name, rating, [&](Crafted &p) {
                QList<QPair<QByteArray, int>> refs;
                for (const auto &[key, object] : entries)
                    refs.append({key, p.add(object)});
                return p.table(refs);
            });
        };
        extra("16-byte -1", -1, {{"rating", wideInteger(~0ull, ~0ull)}});
        extra("16-byte 2^64", no, {{"rating", wideInteger(1, 0)}});
        extra("16-byte 2^63 cardFaceID", no, {{"cardFaceID", wideInteger(0, 1ull << 63)}});
        extra("integer of 32 bytes", no, {{"rating", '\x15' + QByteArray(32, 0)}});
        extra("lone surrogate in text", 1, {{"text", utf16(QString(QChar(0xD800)) + u'x')}});
        extra("later duplicate key wins", 2, {{"rating", integer(500)}, {"rating", integer(2)}});
        extra("earlier duplicate key loses", no,
              {{"rating", integer(2)}, {"rating", integer(500)}});
        extra("string count past the objects", no,
              {{"text", "\x5F\x12" + bigEndian(0x7FFFFFFF, 4)}});
        row("reference out of range", no, [](Crafted &p) { return p.table({{"notes", 200}}); });
        row("dictionary count 2^62", no, [](Crafted &p) {
            p.add("\xDF\x13" + bigEndian(1ull << 62, 8));
            return p.build();
        });
        row("record key an integer", no, [](Crafted &p) {
            const int root = p.add({});
            const int record = p.add(p.dictBody({{p.add(integer(1)), p.ascii("x")}}));
            p.objects[root] = p.dictBody({{p.keyOfT(), record}});
            return p.build();
        });
        row("duplicate root key in UTF-16, earlier record bad", 1, [](Crafted &p) {
            const int root = p.add({});
            const int bad = p.record({{"rating", p.add(integer(500))}});
            p.objects[root] =
                p.dictBody({{p.keyOfT(), bad}, {p.add(utf16(faceKey(u"t"))), p.record()}});
            return p.build();
        });
        row("root is its own record", no, [](Crafted &p) {
            p.add({});
            p.objects[0] = p.dictBody({{p.keyOfT(), 0}});
            return p.build();
        });
        row("record is its own text", no, [](Crafted &p) {
            const int root = p.add({});
            const int record = p.add({});
            QList<QPair<int, int>> entries = p.standardEntries();
            entries[1].second = record;
            p.objects[record] = p.dictBody(entries);
            p.objects[root] = p.dictBody({{p.keyOfT(), record}});
            return p.build();
        });

        // Trailer fields broken one at a time; the trailer is the last 32 bytes.
        Crafted p;
        const QByteArray good = p.table({});
        QTest::newRow("plain crafted table") << good << 1;
        const qsizetype t = good.size() - 32;
        const quint64 tableOffset = good.mid(t + 24).toHex().toULongLong(nullptr, 16);
        const auto patch = [&](const char *name, qsizetype at, const QByteArray &bytes) {
            QTest::newRow(name) << QByteArray(good).replace(at, bytes.size(), bytes) << no;
        };
        patch("offset size 0", t + 6, QByteArray(1, 0));
        patch("offset size 9", t + 6, QByteArray(1, 9));
        patch("ref size 0", t + 7, QByteArray(1, 0));
        patch("ref size 9", t + 7, QByteArray(1, 9));
        patch("no objects", t + 8, bigEndian(0, 8));
        patch("2^64-1 objects", t + 8, bigEndian(~0ull, 8));
        patch("top past the objects", t + 16, bigEndian(quint64(p.objects.size()), 8));
        patch("table past the end", t + 24, bigEndian(~0ull, 8));
        patch("table in the header", t + 24, bigEndian(3, 8));
        patch("root inside the offset table", qsizetype(tableOffset), bigEndian(tableOffset, 4));

        // XML values as plistlib reads them.
        const auto xml = [](const char *name, const char *key, const QString &value, int rating) {
            QTest::newRow(name) << xmlTable(QString::fromUtf8(key), value) << rating;
        };
        xml("010 is ten", "rating", "<integer>010</integer>", 10);
        xml("plus sign", "rating", "<integer>+5</integer>", 5);
        xml("minus zero", "rating", "<integer>-0</integer>", 0);
        xml("spaces around", "rating", "<integer> 7\n</integer>", 7);
        xml("hex", "rating", "<integer>0x10</integer>", no);
        xml("exponent", "rating", "<integer>1e2</integer>", no);
        xml("empty integer", "rating", "<integer></integer>", no);
        xml("two signs", "rating", "<integer>--1</integer>", no);
        xml("inner space", "rating", "<integer>1 2</integer>", no);
        xml("Arabic digit", "rating", "<integer>\u0663</integer>", no);
        xml("beyond 64 bits", "rating", "<integer>99999999999999999999</integer>", no);
        xml("nested element", "rating", "<integer><b/>1</integer>", no);
        xml("date", "lastReview", "<date>2024-01-02T03:04:05Z</date>", 1);
        xml("date month 13", "lastReview", "<date>2024-13-01T00:00:00Z</date>", no);
        xml("date 30 February", "lastReview", "<date>2024-02-30T00:00:00Z</date>", no);
        xml("date with space", "lastReview", "<date>2024-01-02 03:04:05Z</date>", no);
        xml("date without zone", "lastReview", "<date>2024-01-02T03:04:05</date>", no);
        xml("extra deeply nested", "notes",
            QStringLiteral("<array>").repeated(100000) + "<dict/>" +
                QStringLiteral("</array>").repeated(100000),
            1);
        xml("extra unbalanced", "notes", "<array><dict></array>", no);
        xml("key without value", "notes", "", no);
        xml("NUL character", "notes", "<string>&#0;</string>", no);

        const QList<QPair<const char *, QByteArray>> documents{
            {"two objects", "<plist><dict/><dict/></plist>"},
            {"no plist element", "<dict/>"},
            {"root value a string", "<plist><dict><key>a</key><string>x</string></dict></plist>"},
            {"value without key", "<plist><dict><dict/></dict></plist>"},
            {"unclosed", "<plist><dict>"},
            {"entity bomb",
             "<!DOCTYPE plist [<!ENTITY a \"aaaaaaaaaaaaaaaa\"><!ENTITY b "
             "\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c "
             "\"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d "
             "\"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">]>"
             "<plist><dict><key>&d;&d;&d;&d;&d;&d;&d;&d;</key><dict/></dict></plist>"},
            {"other binary version", "bplist01"},
            {"random text", "not a property list"},
            {"empty", ""}};
        for (const auto &[name, bytes] : documents)
            QTest::newRow(name) << bytes << no;
    }
    void oneRecordFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, rating);
        const std::optional<ProgressTable> table = decodeProgressTable(bytes);
        QCOMPARE(table.has_value(), rating != undecodable);
        if (table)
            QVERIFY(*table ==
                    (ProgressTable{{faceDigest(u"t"),
                                    SavedProgress{qint8(rating), CardFaceProgress::Learning}}}));
    }

    void damagedFiles()
    {
        QList<StoredFace> records{stored(QStringLiteral("Paris\n"), 2, CardFaceProgress::Learning),
                                  stored(QStringLiteral("Rome\n"), -1, CardFaceProgress::New)};
        records[0].face.cardFaceID = 0;
        const QByteArray binary = encodeProgressTable(records);
        const QByteArray xml =
            plistlibDumps(
                {{QStringLiteral("{k('Paris\\n'): rec(rating=2), k('Rome\\n'): rec(rating=-1)}"),
                  QStringLiteral("xml")}})
                .value(0);
        QVERIFY(decodeProgressTable(binary) && decodeProgressTable(xml));

        for (qsizetype size = 0; size < binary.size(); ++size)
            QVERIFY2(!decodeProgressTable(binary.first(size)), qPrintable(QString::number(size)));
        const qsizetype xmlEnd = xml.indexOf("</plist>") + 8;
        for (qsizetype size = 0; size < xmlEnd; ++size)
            QVERIFY2(!decodeProgressTable(xml.first(size)), qPrintable(QString::number(size)));

        // Every single bit flip: any table that comes back holds no more than was written.
        for (qsizetype bit = 0; bit < 8 * binary.size(); ++bit) {
            QByteArray flipped = binary;
            flipped[bit / 8] = char(flipped[bit / 8] ^ (1 << (bit % 8)));
            const std::optional<ProgressTable> table = decodeProgressTable(flipped);
            QVERIFY(!table || table->size() <= 2);
        }
    }

    void referenceBombs()
    {
        // Sixty thousand keys share one record of sixty thousand entries: checked once.
        const int n = 60000;
        Crafted bomb;
        bomb.refSize = 3;
        const int root = bomb.add({});
        const int record = bomb.add({});
        QList<QPair<int, int>> entries = bomb.standardEntries();
        const int extraKey = bomb.ascii("extra");
        entries.resize(n, {extraKey, extraKey});
        bomb.objects[record] = bomb.dictBody(entries);
        QList<QPair<int, int>> rootEntries;
        for (int i = 0; i < n; ++i)
            rootEntries.append({bomb.ascii("k" + QByteArray::number(i)), record});
        bomb.objects[root] = bomb.dictBody(rootEntries);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(decodeProgressTable(bomb.build(root)) == ProgressTable{});

        // As many distinct objects, all placed at the offset of that one large record.
        for (auto &entry : rootEntries)
            entry.second = bomb.add(QByteArray(1, 0));
        bomb.objects[root] = bomb.dictBody(rootEntries);
        QByteArray aliased = bomb.build(root);
        const qsizetype tableOffset =
            qsizetype(aliased.mid(aliased.size() - 8).toHex().toULongLong(nullptr, 16));
        const QByteArray recordOffset = aliased.mid(tableOffset + 4 * record, 4);
        for (const auto &entry : rootEntries)
            aliased.replace(tableOffset + 4 * entry.second, 4, recordOffset);
        decodeProgressTable(aliased); // what it returns does not matter, only that it ends soon
        QVERIFY2(timer.elapsed() < 20000, "shared records must not cost quadratic time");
    }
};

QTEST_GUILESS_MAIN(TestPropertyList)
#include "test_property_list.moc"
