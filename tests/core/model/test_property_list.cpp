#include "core/model/property_list.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTest>

#include <tuple>

using Expected = QList<std::tuple<QString, int, CardFaceProgress>>; // text, rating, progress
Q_DECLARE_METATYPE(Expected)
Q_DECLARE_METATYPE(std::optional<Expected>)

namespace {

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

ProgressTable tableOf(const Expected &expected)
{
    ProgressTable table;
    for (const auto &[text, rating, progress] : expected)
        table.insert(faceDigest(text), SavedProgress{qint8(rating), progress});
    return table;
}

StoredFace stored(const QString &text, qint8 rating, CardFaceProgress progress)
{
    CardFace face(text);
    face.rating = rating;
    face.progress = progress;
    return {faceKey(text), face};
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
    static QByteArray marker(int type, int count)
    {
        if (count < 15)
            return QByteArray(1, char(type << 4 | count));
        return QByteArray(1, char(type << 4 | 0xF)) + char(0x12) + bigEndian(quint64(count), 4);
    }
    static QByteArray bigEndian(quint64 value, int width)
    {
        QByteArray out;
        for (int shift = 8 * (width - 1); shift >= 0; shift -= 8)
            out.append(char(value >> shift));
        return out;
    }
    int ascii(const QByteArray &text)
    {
        if (!strings.contains(text))
            strings.insert(text, add(marker(5, int(text.size())) + text));
        return strings.value(text);
    }
    int utf16(const QString &text)
    {
        QByteArray object = marker(6, int(text.size()));
        for (QChar c : text)
            object += bigEndian(c.unicode(), 2);
        return add(object);
    }
    int integer(qint64 value) { return add(char(0x13) + bigEndian(quint64(value), 8)); }
    int wideInteger(quint64 high, quint64 low)
    {
        return add(char(0x14) + bigEndian(high, 8) + bigEndian(low, 8));
    }
    QByteArray dictBody(const QList<QPair<int, int>> &entries) const
    {
        QByteArray out = marker(0xD, int(entries.size()));
        for (const auto &entry : entries)
            out += bigEndian(quint64(entry.first), refSize);
        for (const auto &entry : entries)
            out += bigEndian(quint64(entry.second), refSize);
        return out;
    }
    QList<QPair<int, int>> standardEntries()
    {
        return {{ascii("id"), ascii("E621E1F8-C36C-495A-93FC-0C247A3E6E5F")},
                {ascii("text"), ascii("t")},
                {ascii("rating"), integer(1)},
                {ascii("progressRank"), integer(0)},
                {ascii("progress"), ascii("learning")}};
    }
    // A valid record, with some entries replaced or added after the standard ones.
    int record(const QList<QPair<QByteArray, int>> &extra = {})
    {
        QList<QPair<int, int>> entries = standardEntries();
        for (const auto &[key, value] : extra)
            entries.append({ascii(key), value});
        return add(dictBody(entries));
    }
    // A table with one record under the face key of "t", whose record has the given extras.
    QByteArray table(const QList<QPair<QByteArray, int>> &extra)
    {
        const int root = add({}); // filled in last: the root holds references to the rest
        objects[root] = dictBody({{ascii(faceKey(u"t").toLatin1()), record(extra)}});
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
        out += bigEndian(quint64(objects.size()), 8) + bigEndian(quint64(top), 8) +
               bigEndian(tableOffset, 8);
        return out;
    }
};

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

    void encodedTableLoadsInPlistlib()
    {
        QList<StoredFace> records;
        records << stored(QStringLiteral("Paris\n"), -3, CardFaceProgress::Learning);
        records << stored(QStringLiteral("Čaj ☕ and a NUL: ") + QChar(0) + u'\n', 127,
                          CardFaceProgress::Abandoned);
        records[0].face.cardFaceID = qint64(1) << 40;
        records[1].face.cardFaceID = -1;
        records[1].face.lastReview = QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5), Qt::UTC);
        records[1].face.progressRank = 255;
        // Enough records for two-byte references and extended counts.
        for (int i = 0; i < 300; ++i)
            records << stored(QStringLiteral("face %1 ").arg(i).repeated(i % 7 + 1), qint8(i % 4),
                              allCardFaceProgresses[i % 5]);

        const QByteArray json = runPython(
            QStringLiteral(
                "d = plistlib.loads(sys.stdin.buffer.read())\n"
                "def conv(v):\n"
                "    if isinstance(v, datetime.datetime): return ['date', v.isoformat()]\n"
                "    return [type(v).__name__, str(v)]\n"
                "print(json.dumps([[key, [[f, *conv(v)] for f, v in r.items()]]"
                " for key, r in d.items()]))"),
            encodeProgressTable(records));
        const QJsonArray loaded = QJsonDocument::fromJson(json).array();
        QCOMPARE(loaded.size(), records.size());

        for (qsizetype i = 0; i < records.size(); ++i) {
            const CardFace &face = records[i].face;
            QStringList expected{QStringLiteral("id str ") + face.id()};
            if (face.cardFaceID)
                expected << QStringLiteral("cardFaceID int %1").arg(*face.cardFaceID);
            expected << QStringLiteral("text str ") + face.text;
            expected << QStringLiteral("rating int %1").arg(face.rating);
            if (face.lastReview)
                expected << QStringLiteral("lastReview date 2024-01-02T03:04:05");
            expected << QStringLiteral("progressRank int %1").arg(face.progressRank);
            expected << QStringLiteral("progress str ") + rawValue(face.progress);

            const QJsonArray entry = loaded[i].toArray();
            QCOMPARE(entry[0].toString(), records[i].key);
            QStringList actual;
            for (const QJsonValue &field : entry[1].toArray()) {
                const QJsonArray parts = field.toArray();
                actual << parts[0].toString() + u' ' + parts[1].toString() + u' ' +
                              parts[2].toString();
            }
            QCOMPARE(actual, expected);
        }
    }

    void plistlibTablesDecode_data()
    {
        QTest::addColumn<QString>("literal");
        QTest::addColumn<std::optional<Expected>>("expected");
        QList<QPair<QString, QString>> requests;
        const auto row = [&](const char *name, const char *literal, std::optional<Expected> ex) {
            QTest::newRow(name) << QString::fromUtf8(literal) << ex;
            requests.append({QString::fromUtf8(literal), QStringLiteral("binary")});
            // XML cannot hold a NUL character.
            if (!requests.last().first.contains(u"\\x00"))
                requests.append({QString::fromUtf8(literal), QStringLiteral("xml")});
        };
        const std::optional<Expected> undecodable;
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
            "{k('a\\x00b'): rec(text='a\\x00b\\u010c\\u2615', rating=1),"
            " 'x\\x00': rec()}",
            Expected{{QStringLiteral("a") + QChar(0) + u'b', 1, P::New}});
        row("key that is no face key", "{'not a key': rec(), k('a')[:-2] + 'AA': rec()}",
            Expected{});
        row("cardFaceID beyond 64 bits", "{k('a'): rec(cardFaceID=2**63)}", undecodable);
        row("rating 128", "{k('a'): rec(rating=128)}", undecodable);
        row("rating -129", "{k('a'): rec(rating=-129)}", undecodable);
        row("progressRank 256", "{k('a'): rec(progressRank=256)}", undecodable);
        row("progressRank -1", "{k('a'): rec(progressRank=-1)}", undecodable);
        row("rating a bool", "{k('a'): rec(rating=True)}", undecodable);
        row("rating a real", "{k('a'): rec(rating=1.0)}", undecodable);
        row("rating a string", "{k('a'): rec(rating='1')}", undecodable);
        row("id an integer", "{k('a'): rec(id=5)}", undecodable);
        row("lastReview a string", "{k('a'): rec(lastReview='2024-01-02T03:04:05Z')}", undecodable);
        row("progress capitalised", "{k('a'): rec(progress='Mastered')}", undecodable);
        row("progress missing", "{k('a'): rec(progress=DROP)}", undecodable);
        row("text missing", "{k('a'): rec(text=DROP)}", undecodable);
        row("id missing", "{k('a'): rec(id=DROP)}", undecodable);
        row("bad record under a non-key", "{k('a'): rec(), 'x': rec(rating=500)}", undecodable);
        row("record not a dictionary", "{k('a'): 5}", undecodable);
        row("root an array", "[rec()]", undecodable);

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
            const QByteArray bytes = m_dumps.value({literal, format});
            const std::optional<ProgressTable> table = decodeProgressTable(bytes);
            QVERIFY2(table.has_value() == expected.has_value(), qPrintable(format));
            if (expected)
                QCOMPARE(*table, tableOf(*expected));
        }
    }

    void encodedTableDecodes()
    {
        QList<StoredFace> records;
        for (int i = 0; i < 40000; ++i) // past 65,536 objects: three-byte references
            records << stored(QStringLiteral("face %1\n").arg(i), qint8(i % 256 - 128),
                              allCardFaceProgresses[i % 5]);
        records << stored(QStringLiteral("face 7\n"), 3, CardFaceProgress::Mastered); // wins
        records << StoredFace{QStringLiteral("not a face key"), CardFace()};
        records[5].face.nextReview = QDateTime::currentDateTimeUtc();
        const QByteArray bytes = encodeProgressTable(records);
        QCOMPARE(bytes.count("progressRank"), 1); // key strings are shared

        const std::optional<ProgressTable> table = decodeProgressTable(bytes);
        QVERIFY(table);
        QCOMPARE(table->size(), 40000);
        QCOMPARE(table->value(faceDigest(u"face 7\n")),
                 (SavedProgress{3, CardFaceProgress::Mastered}));
        QCOMPARE(table->value(faceDigest(u"face 39999\n")),
                 (SavedProgress{qint8(39999 % 256 - 128), allCardFaceProgresses[39999 % 5]}));

        QVERIFY(decodeProgressTable(encodeProgressTable({})) == ProgressTable{});
    }

    void craftedBinary_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("rating"); // of the one record; -1000: undecodable
        const int no = -1000;
        const auto row = [](const char *name, int rating, auto build) {
            Crafted p;
            QTest::newRow(name) << build(p) << rating;
        };
        row("16-byte -1", -1, [](Crafted &p) {
            return p.table({{"rating", p.wideInteger(~0ull, ~0ull)}});
        });
        row("16-byte 2^64", no, [](Crafted &p) {
            return p.table({{"rating", p.wideInteger(1, 0)}});
        });
        row("16-byte 2^63 cardFaceID", no, [](Crafted &p) {
            return p.table({{"cardFaceID", p.wideInteger(0, 1ull << 63)}});
        });
        row("integer of 32 bytes", no, [](Crafted &p) {
            return p.table({{"rating", p.add(QByteArray(1, char(0x15)) + QByteArray(32, 0))}});
        });
        row("lone surrogate in text", 1, [](Crafted &p) {
            return p.table({{"text", p.utf16(QString(QChar(0xD800)) + u'x')}});
        });
        row("later duplicate key wins", 2, [](Crafted &p) {
            return p.table({{"rating", p.integer(500)}, {"rating", p.integer(2)}});
        });
        row("earlier duplicate key loses", no, [](Crafted &p) {
            return p.table({{"rating", p.integer(2)}, {"rating", p.integer(500)}});
        });
        row("reference out of range", no, [](Crafted &p) { return p.table({{"notes", 200}}); });
        row("string count past the objects", no, [](Crafted &p) {
            const QByteArray huge = "\x5F\x12" + Crafted::bigEndian(0x7FFFFFFF, 4);
            return p.table({{"text", p.add(huge)}});
        });
        row("dictionary count 2^62", no, [](Crafted &p) {
            p.add("\xDF\x13" + Crafted::bigEndian(1ull << 62, 8));
            return p.build();
        });
        row("record key an integer", no, [](Crafted &p) {
            const int root = p.add({});
            const int record = p.add(p.dictBody({{p.integer(1), p.ascii("x")}}));
            p.objects[root] = p.dictBody({{p.ascii(faceKey(u"t").toLatin1()), record}});
            return p.build();
        });
        row("duplicate root key in UTF-16, earlier record bad", 1, [](Crafted &p) {
            const int root = p.add({});
            const int bad = p.record({{"rating", p.integer(500)}});
            p.objects[root] = p.dictBody(
                {{p.ascii(faceKey(u"t").toLatin1()), bad}, {p.utf16(faceKey(u"t")), p.record()}});
            return p.build();
        });
        row("root is its own record", no, [](Crafted &p) {
            p.add({});
            p.objects[0] = p.dictBody({{p.ascii(faceKey(u"t").toLatin1()), 0}});
            return p.build();
        });
        row("record is its own text", no, [](Crafted &p) {
            const int root = p.add({});
            const int record = p.add({});
            QList<QPair<int, int>> entries = p.standardEntries();
            entries[1].second = record;
            p.objects[record] = p.dictBody(entries);
            p.objects[root] = p.dictBody({{p.ascii(faceKey(u"t").toLatin1()), record}});
            return p.build();
        });

        // Trailer fields broken one at a time; the trailer is the last 32 bytes.
        Crafted p;
        const QByteArray good = p.table({});
        QTest::newRow("plain crafted table") << good << 1;
        const qsizetype t = good.size() - 32;
        const quint64 tableOffset = good.mid(t + 24).toHex().toULongLong(nullptr, 16);
        const struct
        {
            const char *name;
            qsizetype at;
            QByteArray bytes;
        } patches[] = {
            {"offset size 0", t + 6, QByteArray(1, 0)},
            {"offset size 9", t + 6, QByteArray(1, 9)},
            {"ref size 0", t + 7, QByteArray(1, 0)},
            {"ref size 9", t + 7, QByteArray(1, 9)},
            {"no objects", t + 8, Crafted::bigEndian(0, 8)},
            {"2^64-1 objects", t + 8, Crafted::bigEndian(~0ull, 8)},
            {"top past the objects", t + 16, Crafted::bigEndian(quint64(p.objects.size()), 8)},
            {"table past the end", t + 24, Crafted::bigEndian(~0ull, 8)},
            {"table in the header", t + 24, Crafted::bigEndian(3, 8)},
            {"root inside the offset table", qsizetype(tableOffset),
             Crafted::bigEndian(tableOffset, 4)},
        };
        for (const auto &patch : patches)
            QTest::newRow(patch.name)
                << QByteArray(good).replace(patch.at, patch.bytes.size(), patch.bytes) << no;
    }

    void craftedBinary()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, rating);
        const std::optional<ProgressTable> table = decodeProgressTable(bytes);
        QCOMPARE(table.has_value(), rating != -1000);
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
        const QByteArray xml = plistlibDumps({{QStringLiteral("{k('Paris\\n'): rec(rating=2),"
                                                              " k('Rome\\n'): rec(rating=-1)}"),
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

        // Random bytes behind a valid header and, half of the time, a plausible trailer.
        QRandomGenerator random(20240102);
        for (int round = 0; round < 3000; ++round) {
            QByteArray bytes("bplist00");
            const int size = int(random.bounded(200));
            for (int i = 0; i < size; ++i)
                bytes.append(char(random.bounded(256)));
            if (round % 2)
                bytes += QByteArray(6, 0) + char(random.bounded(1, 4)) +
                         char(random.bounded(1, 3)) + Crafted::bigEndian(random.bounded(1, 40), 8) +
                         Crafted::bigEndian(random.bounded(3), 8) +
                         Crafted::bigEndian(random.bounded(8, size + 9), 8);
            decodeProgressTable(bytes);
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
        while (entries.size() < n)
            entries.append({extraKey, extraKey});
        bomb.objects[record] = bomb.dictBody(entries);
        QList<QPair<int, int>> rootEntries;
        for (int i = 0; i < n; ++i)
            rootEntries.append({bomb.ascii("k" + QByteArray::number(i)), record});
        bomb.objects[root] = bomb.dictBody(rootEntries);

        QElapsedTimer timer;
        timer.start();
        QVERIFY(decodeProgressTable(bomb.build(root)) == ProgressTable{});

        // As many distinct objects, all placed at the offset of that one large record.
        QList<int> aliases;
        for (int i = 0; i < n; ++i) {
            aliases.append(bomb.add(QByteArray(1, 0)));
            rootEntries[i].second = aliases.last();
        }
        bomb.objects[root] = bomb.dictBody(rootEntries);
        QByteArray aliased = bomb.build(root);
        const qsizetype tableOffset =
            qsizetype(aliased.mid(aliased.size() - 8).toHex().toULongLong(nullptr, 16));
        const QByteArray recordOffset = aliased.mid(tableOffset + 4 * record, 4);
        for (int index : aliases)
            aliased.replace(tableOffset + 4 * index, 4, recordOffset);
        decodeProgressTable(aliased); // what it returns does not matter, only that it ends soon
        QVERIFY2(timer.elapsed() < 20000, "shared records must not cost quadratic time");
    }

    void xmlValues_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("rating"); // -1000: undecodable
        const int no = -1000;
        const QString rating = QStringLiteral("rating");
        const QString date = QStringLiteral("lastReview");
        QTest::newRow("010 is ten") << rating << "<integer>010</integer>" << 10;
        QTest::newRow("plus sign") << rating << "<integer>+5</integer>" << 5;
        QTest::newRow("minus zero") << rating << "<integer>-0</integer>" << 0;
        QTest::newRow("spaces around") << rating << "<integer> 7\n</integer>" << 7;
        QTest::newRow("hex") << rating << "<integer>0x10</integer>" << no;
        QTest::newRow("exponent") << rating << "<integer>1e2</integer>" << no;
        QTest::newRow("empty") << rating << "<integer></integer>" << no;
        QTest::newRow("two signs") << rating << "<integer>--1</integer>" << no;
        QTest::newRow("inner space") << rating << "<integer>1 2</integer>" << no;
        QTest::newRow("Arabic digit") << rating << "<integer>\u0663</integer>" << no;
        QTest::newRow("beyond 64 bits")
            << rating << "<integer>99999999999999999999</integer>" << no;
        QTest::newRow("real") << rating << "<real>1</real>" << no;
        QTest::newRow("true") << rating << "<true/>" << no;
        QTest::newRow("nested element") << rating << "<integer><b/>1</integer>" << no;
        QTest::newRow("date") << date << "<date>2024-01-02T03:04:05Z</date>" << 1;
        QTest::newRow("date month 13") << date << "<date>2024-13-01T00:00:00Z</date>" << no;
        QTest::newRow("date 30 February") << date << "<date>2024-02-30T00:00:00Z</date>" << no;
        QTest::newRow("date with space") << date << "<date>2024-01-02 03:04:05Z</date>" << no;
        QTest::newRow("date without zone") << date << "<date>2024-01-02T03:04:05</date>" << no;
        QTest::newRow("date garbage") << date << "<date>yesterday</date>" << no;
        QTest::newRow("date as string") << date << "<string>2024-01-02T03:04:05Z</string>" << no;
        QTest::newRow("extra deeply nested")
            << "notes"
            << QStringLiteral("<array>").repeated(100000) + "<dict/>" +
                   QStringLiteral("</array>").repeated(100000)
            << 1;
        QTest::newRow("extra unbalanced") << "notes"
                                          << "<array><dict></array>" << no;
        QTest::newRow("key without value") << "notes"
                                           << "" << no;
        QTest::newRow("NUL character") << "notes"
                                       << "<string>&#0;</string>" << no;
    }

    void xmlValues()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(int, rating);
        // The record's own rating comes before the tested entry, which may replace it.
        const QString xml =
            QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<plist version=\"1.0\"><dict><key>%1</key><dict>"
                           "<key>id</key><string>x</string><key>text</key><string>t</string>"
                           "<key>rating</key><integer>1</integer>"
                           "<key>progressRank</key><integer>0</integer>"
                           "<key>progress</key><string>learning</string>"
                           "<key>%2</key>%3</dict></dict></plist>")
                .arg(faceKey(u"t"), key, value);
        const std::optional<ProgressTable> table = decodeProgressTable(xml.toUtf8());
        QCOMPARE(table.has_value(), rating != -1000);
        if (table)
            QCOMPARE(table->value(faceDigest(u"t")).rating, rating);
    }

    void xmlDocuments_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::newRow("root an array") << QByteArray("<plist><array/></plist>");
        QTest::newRow("two objects") << QByteArray("<plist><dict/><dict/></plist>");
        QTest::newRow("no plist element") << QByteArray("<dict/>");
        QTest::newRow("root value a string")
            << QByteArray("<plist><dict><key>a</key><string>x</string></dict></plist>");
        QTest::newRow("value without key") << QByteArray("<plist><dict><dict/></dict></plist>");
        QTest::newRow("unclosed") << QByteArray("<plist><dict>");
        QTest::newRow("entity bomb")
            << QByteArray("<!DOCTYPE plist [<!ENTITY a \"aaaaaaaaaaaaaaaa\"><!ENTITY b "
                          "\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c "
                          "\"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d "
                          "\"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">]>"
                          "<plist><dict><key>&d;&d;&d;&d;&d;&d;&d;&d;</key><dict/></dict></plist>");
        QTest::newRow("other binary version") << QByteArray("bplist01");
        QTest::newRow("random text") << QByteArray("not a property list");
        QTest::newRow("empty") << QByteArray();
    }

    void xmlDocuments()
    {
        QFETCH(QByteArray, xml);
        QVERIFY(!decodeProgressTable(xml));
    }
};

QTEST_GUILESS_MAIN(TestPropertyList)
#include "test_property_list.moc"
