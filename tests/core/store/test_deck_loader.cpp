#include "core/model/flashcard_reader.h"
#include "core/store/deck_loader.h"
#include "core/store/load_progress.h"
#include "core/store/progress_store.h"
#include "core/store/property_list.h"
#include "core/store/record_matcher.h"
#include "core/store/review_journal.h"
#include "core/store/stored_record.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <numeric>

namespace {

// One record of a progress file: the one line of the face it is kept for and what it gives
// back. A rating out of the stored range makes a record that breaks the stored form.
struct Record
{
    QString text;
    int rating = 0;
    CardFaceProgress progress = CardFaceProgress::Learning;
    // False: the key holds a string instead of a record (XML only).
    bool dictionary = true;
    // Marked as claimed by no face since a day in 2025 (binary only).
    bool orphaned = false;
    // Reviewed that many days after a day in 2025, with what the scheduler remembers (binary
    // only); never when 0.
    int reviewed = 0;
};
using Records = QList<Record>;

// A face's text: its line.
QString faceText(const QString &line)
{
    return line + u'\n';
}

FaceDigest digestOf(const QString &line)
{
    return faceDigest(faceText(line));
}

// The records in the given order, duplicates and all, as another writer may write them.
QByteArray xmlFile(const QList<Record> &records)
{
    QString xml =
        u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"_qs;
    for (const Record &record : records) {
        if (!record.dictionary) {
            xml +=
                u"<key>%1</key><string>no record</string>\n"_qs.arg(faceKey(faceText(record.text)));
            continue;
        }
        xml += u"<key>%1</key><dict><key>id</key><string>A</string><key>text</key>"
               u"<string>%2</string><key>rating</key><integer>%3</integer>"
               u"<key>progressRank</key><integer>0</integer><key>progress</key>"
               u"<string>%4</string></dict>\n"_qs
                   .arg(faceKey(faceText(record.text)), faceText(record.text).toHtmlEscaped())
                   .arg(record.rating)
                   .arg(rawValue(record.progress));
    }
    xml += u"</dict>\n</plist>\n"_qs;
    return xml.toUtf8();
}

QByteArray binaryFile(const QList<Record> &records)
{
    QList<StoredFace> faces;
    for (const Record &record : records) {
        CardFace face(faceText(record.text));
        face.rating = qint8(record.rating);
        face.progress = record.progress;
        if (record.reviewed) {
            const QDateTime day(QDate(2025, 3, 1), QTime(8, 0), Qt::UTC);
            face.lastReview = day.addDays(record.reviewed);
            if (record.reviewed % 2)
                face.nextReview = day.addDays(2 * record.reviewed);
            if (record.reviewed % 3)
                face.memory = ReviewMemory{2.5 * record.reviewed, 5, record.reviewed, 1, {}};
        }
        QList<StoredField> extra;
        if (record.orphaned)
            extra.append({QString::fromUtf16(orphanedSinceKey), PlistDate{770'000'000}});
        faces.append({faceKey(face.text), face, extra});
    }
    return encodeProgressTable(faces);
}

QString deckText(const QList<QList<QString>> &cards)
{
    QString text;
    for (const QList<QString> &card : cards) {
        text += u"===\n"_qs;
        for (qsizetype i = 0; i < card.size(); ++i)
            text += (i ? u"---\n"_qs : QString()) + faceText(card[i]);
    }
    // The last face of a file that ends with a line break ends with two.
    text.chop(1);
    return text;
}

QList<std::pair<int, CardFaceProgress>> progressOf(const QList<Card> &cards)
{
    QList<std::pair<int, CardFaceProgress>> result;
    for (const Card &card : cards)
        for (const CardFace &face : card.faces)
            result.append({face.rating, face.progress});
    return result;
}

// What the deck should read, by the whole decoded table: the last record of each text.
QList<std::pair<int, CardFaceProgress>> expectedProgress(const QList<Card> &cards,
                                                         const QByteArray &file)
{
    const std::optional<ProgressTable> table = decodeProgressTable(file);
    QList<std::pair<int, CardFaceProgress>> result;
    for (const Card &card : cards) {
        for (const CardFace &face : card.faces) {
            const CardFace merged = table ? mergeSavedProgress(face, *table) : face;
            result.append({merged.rating, merged.progress});
        }
    }
    return result;
}

qsizetype expectedUnclaimed(const QList<Card> &cards, const QByteArray &file)
{
    const std::optional<ProgressTable> table = decodeProgressTable(file);
    if (!table)
        return 0;
    QSet<FaceDigest> inDeck;
    for (const Card &card : cards)
        for (const CardFace &face : card.faces)
            inDeck.insert(faceDigest(face.text));
    qsizetype unclaimed = 0;
    for (auto it = table->cbegin(); it != table->cend(); ++it)
        unclaimed += inDeck.contains(it.key()) ? 0 : 1;
    return unclaimed;
}

JournalRecord journaled(const QString &text, int rating, CardFaceProgress progress, qint64 time)
{
    JournalRecord record;
    record.time = time;
    record.face = digestOf(text);
    record.rating = qint8(rating);
    record.progress = progress;
    return record;
}

} // namespace

Q_DECLARE_METATYPE(JournalRecord)

class TestDeckLoader : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_folder;
    const QUrl m_deck = QUrl::fromLocalFile(u"/decks/capitals.txt"_qs);

    QString progressPath() const { return progressFileURL(m_deck, m_folder).toLocalFile(); }

    void writeFile(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    void writeJournal(const QList<JournalRecord> &records)
    {
        QByteArray bytes;
        for (const JournalRecord &record : records)
            bytes += encodeJournalRecord(record);
        writeFile(journalPath(progressPath(), u"0000000000000001"_qs), bytes);
    }

    DataFile load(const QString &text, LoadReport *report, const DataFile *previous = nullptr)
    {
        return loadDataFile(text, m_deck, m_folder, previous, report);
    }

private Q_SLOTS:
    void init()
    {
        m_folder = m_dir.filePath(QString::fromLatin1(QTest::currentTestFunction()) + u'/' +
                                  QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(m_folder));
    }

    // A deck read again takes, as it is read, the texts of the cards of the deck before that
    // read the same where they stand or a few places on or back; the texts are those of the
    // file all the same.
    void aDeckReadAgainTakesTheTextsOfTheCardsThatReadTheSame_data()
    {
        QTest::addColumn<QList<int>>("after"); // the cards by number; the deck before: 0 to 99
        QTest::addColumn<int>("shared");       // cards of the deck before whose texts are taken
        QList<int> before(100);
        std::iota(before.begin(), before.end(), 0);
        const auto numbers = [](int from, int count) {
            QList<int> list(count);
            std::iota(list.begin(), list.end(), from);
            return list;
        };
        QTest::newRow("unchanged") << before << 100;
        QTest::newRow("three added at the start") << numbers(1000, 3) + before << 100;
        QTest::newRow("one taken out") << numbers(0, 50) + numbers(51, 49) << 99;
        QTest::newRow("one edited") << numbers(0, 50) + QList<int>{1000} + numbers(51, 49) << 99;
        // Further than the reading looks: the rest is left to the cards at the end.
        QTest::newRow("twenty added") << numbers(0, 50) + numbers(1000, 20) + numbers(50, 50) << 50;
        QTest::newRow("halves swapped") << numbers(50, 50) + numbers(0, 50) << 0;
        QTest::newRow("written afresh") << numbers(1000, 100) << 0;
    }
    void aDeckReadAgainTakesTheTextsOfTheCardsThatReadTheSame()
    {
        QFETCH(QList<int>, after);
        QFETCH(int, shared);
        const auto textOf = [](const QList<int> &cards) {
            QByteArray text;
            for (const int card : cards)
                text += "=== c\nQ" + QByteArray::number(card) + "\n---\nA" +
                        QByteArray::number(card) + "\n";
            return text;
        };
        QList<int> numbersBefore(100);
        std::iota(numbersBefore.begin(), numbersBefore.end(), 0);
        const QList<Card> before = readCards(QString::fromLatin1(textOf(numbersBefore)));
        const QString path = m_dir.filePath(u"again.txt"_qs);
        writeFile(path, textOf(after));
        const std::optional<QList<Card>> read = readCardsFromFile(path, nullptr, nullptr, &before);
        QVERIFY(read);
        const QList<Card> plain = readCards(QString::fromLatin1(textOf(after)));
        QCOMPARE(read->size(), plain.size());
        int taken = 0;
        for (qsizetype c = 0; c < read->size(); ++c) {
            const Card &card = read->at(c);
            QCOMPARE(card.faces.size(), 2);
            for (qsizetype f = 0; f < 2; ++f)
                QCOMPARE(card.faces[f].text, plain[c].faces[f].text);
            const int number = after[c];
            if (number < before.size() &&
                card.faces[0].text.view().data() == before[number].faces[0].text.view().data() &&
                card.faces[1].text.view().data() == before[number].faces[1].text.view().data())
                ++taken;
        }
        QCOMPARE(taken, shared);
    }

    void eachFaceGetsTheLastRecordOfItsText_data()
    {
        QTest::addColumn<QList<QList<QString>>>("cards");
        QTest::addColumn<QList<Record>>("records");
        QTest::addColumn<bool>("xml");
        // Each face's rating.
        QTest::addColumn<QList<int>>("ratings");
        const QList<QList<QString>> deck = {{u"a"_qs, u"b"_qs}, {u"c"_qs}, {u"d"_qs, u"e"_qs}};
        const auto r = [](const char *text, int rating) {
            return Record{QString::fromLatin1(text), rating, CardFaceProgress::Mastered};
        };
        // Rated above 100: a record that breaks the stored form.
        const auto broken = [](const char *text) {
            return Record{QString::fromLatin1(text), 700, CardFaceProgress::Mastered};
        };
        using Cards = QList<QList<QString>>;
        using Records = QList<Record>;
        using Ratings = QList<int>;
        const Cards twice = {{u"a"_qs, u"b"_qs}, {u"a"_qs}};
        QTest::newRow("in deck order")
            << deck << Records{r("a", 1), r("b", 2), r("c", 3), r("d", -1), r("e", 5)} << false
            << Ratings{1, 2, 3, -1, 5};
        QTest::newRow("reversed") << deck
                                  << Records{r("e", 5), r("d", -1), r("c", 3), r("b", 2), r("a", 1)}
                                  << false << Ratings{1, 2, 3, -1, 5};
        QTest::newRow("records of other texts between")
            << deck << Records{r("x", 9),  r("a", 1), r("y", 9), r("b", 2), r("c", 3),
                               r("d", -1), r("z", 9), r("e", 5), r("w", 9)}
            << false << Ratings{1, 2, 3, -1, 5};
        QTest::newRow("faces without records")
            << deck << Records{r("b", 2), r("e", 5)} << false << Ratings{0, 2, 0, 0, 5};
        QTest::newRow("a face twice, one record")
            << Cards{{u"a"_qs, u"b"_qs}, {u"a"_qs}, {u"c"_qs}}
            << Records{r("a", 1), r("b", 2), r("c", 3)} << false << Ratings{1, 2, 1, 3};
        QTest::newRow("a record twice")
            << deck << Records{r("a", 7), r("b", 2), r("c", 3), r("d", -1), r("e", 5), r("a", 1)}
            << true << Ratings{1, 2, 3, -1, 5};
        QTest::newRow("a record twice, each beside a face of its text")
            << twice << Records{r("a", 7), r("b", 2), r("a", 1)} << true << Ratings{1, 2, 1};
        QTest::newRow("a record twice, in binary")
            << twice << Records{r("a", 7), r("b", 2), r("a", 1)} << false << Ratings{1, 2, 1};
        QTest::newRow("a broken record before the last one of its text")
            << twice << Records{broken("a"), r("b", 2), r("a", 1)} << true << Ratings{1, 2, 1};
        QTest::newRow("no record at all before the last one of its text")
            << twice << Records{{u"a"_qs, 0, CardFaceProgress::New, false}, r("b", 2), r("a", 1)}
            << true << Ratings{1, 2, 1};
        QTest::newRow("no record at all refuses the file")
            << twice << Records{r("a", 1), r("b", 2), {u"a"_qs, 0, CardFaceProgress::New, false}}
            << true << Ratings{0, 0, 0};
        QTest::newRow("a broken record refuses the file")
            << deck << Records{r("a", 1), broken("b"), r("c", 3)} << true << Ratings{0, 0, 0, 0, 0};
        QTest::newRow("a broken record after the last good one refuses the file")
            << twice << Records{r("a", 1), r("b", 2), broken("a")} << true << Ratings{0, 0, 0};
    }

    void eachFaceGetsTheLastRecordOfItsText()
    {
        QFETCH(QList<QList<QString>>, cards);
        QFETCH(QList<Record>, records);
        QFETCH(bool, xml);
        QFETCH(QList<int>, ratings);
        const QByteArray file = xml ? xmlFile(records) : binaryFile(records);
        writeFile(progressPath(), file);
        LoadReport report;
        const DataFile deck = load(deckText(cards), &report);
        QList<int> loaded;
        for (const auto &[rating, progress] : progressOf(deck.cards))
            loaded.append(rating);
        QCOMPARE(loaded, ratings);
        QCOMPARE(progressOf(deck.cards), expectedProgress(deck.cards, file));
        QCOMPARE(report.unclaimedRecords, expectedUnclaimed(deck.cards, file));
        QCOMPARE(report.reattachedFaces, 0);
    }

    // Decks and files of every sort, against the table decoded whole.
    void randomDecksMatchTheWholeTable()
    {
        QRandomGenerator random(20261207);
        for (int round = 0; round < 300; ++round) {
            const int pool = 4 + int(random.bounded(12));
            const auto text = [&] { return u"text %1"_qs.arg(random.bounded(pool)); };
            QList<QList<QString>> cards(1 + random.bounded(6));
            for (QList<QString> &card : cards)
                for (int f = 1 + int(random.bounded(3)); f > 0; --f)
                    card.append(text());
            const bool xml = random.bounded(2) == 0;
            QList<Record> records;
            for (const QList<QString> &card : cards) {
                for (const QString &face : card) {
                    if (random.bounded(10) < 8)
                        records.append({face, int(random.bounded(6)) - 1,
                                        allCardFaceProgresses[random.bounded(5)]});
                    if (random.bounded(10) == 0)
                        records.append({text(), int(random.bounded(6)), CardFaceProgress::New});
                    if (xml && random.bounded(40) == 0)
                        records.append({text(), 900, CardFaceProgress::New}); // broken
                }
            }
            if (!records.isEmpty() && random.bounded(3) == 0) {
                const qsizetype from = random.bounded(records.size());
                const qsizetype to = from + random.bounded(records.size() - from) + 1;
                std::shuffle(records.begin() + from, records.begin() + to, random);
            }
            const QByteArray file = xml ? xmlFile(records) : binaryFile(records);
            writeFile(progressPath(), file);
            LoadReport report;
            const DataFile deck = load(deckText(cards), &report);
            const QByteArray context = deckText(cards).toUtf8() + "\n" + file;
            QVERIFY2(progressOf(deck.cards) == expectedProgress(deck.cards, file),
                     context.constData());
            QVERIFY2(report.unclaimedRecords == expectedUnclaimed(deck.cards, file),
                     context.constData());
        }
    }

    // The records walked before the faces are read, then given to them, match as the walk beside
    // the faces does: the same progress from the same records, the same records left over.
    void walkedRecordsMatchAsTheWalkBesideTheFaces()
    {
        QRandomGenerator random(7122026);
        for (int round = 0; round < 300; ++round) {
            const int pool = 4 + int(random.bounded(30));
            const auto text = [&] { return u"text %1"_qs.arg(random.bounded(pool)); };
            QList<CardFace> faces;
            QList<Record> records;
            for (int f = int(random.bounded(60)); f > 0; --f) {
                faces.append(CardFace(faceText(text())));
                if (random.bounded(10) < 8)
                    records.append({faces.last().text.toString().chopped(1),
                                    int(random.bounded(6)) - 1,
                                    allCardFaceProgresses[random.bounded(5)], true,
                                    random.bounded(8) == 0, int(random.bounded(7))});
                if (random.bounded(8) == 0)
                    records.append({text(), int(random.bounded(6)), CardFaceProgress::New, true,
                                    random.bounded(2) == 0, int(random.bounded(3))});
            }
            if (!records.isEmpty() && random.bounded(3) == 0) {
                const qsizetype from = random.bounded(records.size());
                const qsizetype to = from + random.bounded(records.size() - from) + 1;
                std::shuffle(records.begin() + from, records.begin() + to, random);
            }
            const QByteArray file = binaryFile(records);
            const auto match = [&](bool walkedFirst) {
                QList<CardFace> matched = faces;
                std::vector<CardFace *> pointers;
                std::vector<FaceDigest> digests;
                for (CardFace &face : matched) {
                    pointers.push_back(&face);
                    digests.push_back(faceDigest(face.text));
                }
                MatchedRecords result;
                if (walkedFirst) {
                    WalkedRecordsPtr walked = walkSavedRecords(file);
                    if (!walked || !matchWalkedRecords(*walked, file, pointers, digests, &result))
                        return std::pair(QList<CardFace>(), MatchedRecords());
                } else if (!matchSavedRecords(file, pointers, digests, &result)) {
                    return std::pair(QList<CardFace>(), MatchedRecords());
                }
                return std::pair(matched, std::move(result));
            };
            const auto [walkedFaces, walked] = match(true);
            const auto [besideFaces, beside] = match(false);
            const QByteArray context = file.toBase64();
            QVERIFY2(!besideFaces.isEmpty() || faces.isEmpty(), context.constData());
            QVERIFY2(walkedFaces == besideFaces, context.constData());
            QVERIFY2(walked.sources == beside.sources, context.constData());
            QCOMPARE(walked.markedRecordClaimed, beside.markedRecordClaimed);
            const auto &walkedLoose = walked.loose.entries();
            const auto &besideLoose = beside.loose.entries();
            QCOMPARE(walkedLoose.size(), besideLoose.size());
            for (size_t i = 0; i < walkedLoose.size(); ++i) {
                const auto &[digest, record] = walkedLoose[i];
                const auto &[expectedDigest, expected] = besideLoose[i];
                QVERIFY(digest == expectedDigest);
                QVERIFY(record.saved == expected.saved);
                QCOMPARE(record.text, expected.text);
                QCOMPARE(record.position, expected.position);
                QCOMPARE(record.use, expected.use);
                QCOMPARE(record.inFile, expected.inFile);
                QCOMPARE(record.markedOrphan, expected.markedOrphan);
            }
        }
    }

    // Only a table as a save writes it is walked before the faces are read; any other is
    // matched by the walk beside the faces.
    void onlyATableAsASaveWritesItIsWalkedFirst()
    {
        const Records records = {{u"a"_qs, 1}, {u"b"_qs, 2}};
        QVERIFY(walkSavedRecords(binaryFile(records)));
        QVERIFY(!walkSavedRecords(xmlFile(records)));
        QVERIFY(!walkSavedRecords(QByteArray("bplist00 and then nothing")));
    }

    // Long runs of new faces and a block of cards moved far: the walk finds its way back.
    void bigEditsOfABigDeck()
    {
        QList<QList<QString>> cards;
        QList<Record> records;
        for (int c = 0; c < 3000; ++c) {
            const QString face = u"card %1"_qs.arg(c);
            cards.append({face});
            records.append({face, c % 7 - 1, CardFaceProgress::Learning});
        }
        for (int c = 0; c < 60; ++c)
            cards.insert(1500, {u"new %1"_qs.arg(c)});
        for (int c = 0; c < 40; ++c)
            cards.append(cards.takeAt(10));
        for (int c = 0; c < 30; ++c)
            records.insert(2500, {u"gone %1"_qs.arg(c), 4, CardFaceProgress::Archived});
        const QByteArray file = binaryFile(records);
        writeFile(progressPath(), file);
        LoadReport report;
        const DataFile deck = load(deckText(cards), &report);
        QCOMPARE(progressOf(deck.cards), expectedProgress(deck.cards, file));
        QCOMPARE(report.unclaimedRecords, 30);
    }

    void journalHasTheLastWordOverFacesMatchedInOrder()
    {
        const QList<QList<QString>> cards = {{u"a"_qs, u"b"_qs}, {u"c"_qs}};
        writeFile(progressPath(), binaryFile({{u"a"_qs, 1, CardFaceProgress::Learning},
                                              {u"b"_qs, 2, CardFaceProgress::Learning},
                                              {u"c"_qs, 3, CardFaceProgress::Learning},
                                              {u"gone"_qs, 1, CardFaceProgress::Learning}}));
        writeJournal({journaled(u"a"_qs, 4, CardFaceProgress::Mastered, 1),
                      // The same state as the file's: nothing to write over it.
                      journaled(u"b"_qs, 2, CardFaceProgress::Learning, 2),
                      journaled(u"only journaled"_qs, 1, CardFaceProgress::Learning, 3),
                      journaled(u"gone"_qs, 0, CardFaceProgress::Abandoned, 4)});
        LoadReport report;
        const DataFile deck = load(deckText(cards), &report);
        QCOMPARE(progressOf(deck.cards),
                 (QList<std::pair<int, CardFaceProgress>>{{4, CardFaceProgress::Mastered},
                                                          {2, CardFaceProgress::Learning},
                                                          {3, CardFaceProgress::Learning}}));
        // A save writes the deck's faces: the others' journaled states stay in the journals.
        QCOMPARE(report.changes.changed, (QSet<FaceDigest>{digestOf(u"a"_qs)}));
        QCOMPARE(report.unclaimedRecords, 2);
    }

    // Each machine's journal is replayed as it is read: of all of them, the change latest in
    // time has the last word, wherever it stands.
    void theLatestChangeOfAnyJournalCounts()
    {
        writeFile(progressPath(), binaryFile({{u"a"_qs, 1}, {u"b"_qs, 1}}));
        const auto journal = [&](const QString &machine, const QList<JournalRecord> &records) {
            QByteArray bytes;
            for (const JournalRecord &record : records)
                bytes += encodeJournalRecord(record);
            writeFile(journalPath(progressPath(), machine), bytes);
        };
        journal(u"0000000000000001"_qs, {journaled(u"a"_qs, 2, CardFaceProgress::Learning, 10),
                                         journaled(u"b"_qs, 4, CardFaceProgress::Learning, 40)});
        journal(u"0000000000000002"_qs, {journaled(u"b"_qs, 3, CardFaceProgress::Learning, 20),
                                         journaled(u"a"_qs, 5, CardFaceProgress::Learning, 30)});
        LoadReport report;
        const DataFile deck = load(deckText({{u"a"_qs, u"b"_qs}}), &report);
        QCOMPARE(progressOf(deck.cards),
                 (QList<std::pair<int, CardFaceProgress>>{{5, CardFaceProgress::Learning},
                                                          {4, CardFaceProgress::Learning}}));
    }

    // Whether the progress file may stay as it is until the next change, rather than be
    // rewritten right after the reading: only when nothing the user did would be missing from
    // it and no stale mark would be left on a record that a face claims.
    void aRewriteWaitsOnlyWhenNothingIsOwed_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<JournalRecord>>("journal");
        QTest::addColumn<QList<QList<QString>>>("cards");
        QTest::addColumn<bool>("waits");
        const QList<QList<QString>> abc = {{u"a"_qs, u"b"_qs}, {u"c"_qs}};
        const Records written = {{u"a"_qs, 1}, {u"b"_qs, 2}, {u"c"_qs, 3}};
        const QList<JournalRecord> none;
        QTest::newRow("as a save wrote it") << binaryFile(written) << none << abc << true;
        QTest::newRow("another writer's encoding") << xmlFile(written) << none << abc << true;
        QTest::newRow("a face without a record")
            << binaryFile({{u"a"_qs, 1}, {u"b"_qs, 2}}) << none << abc << true;
        QTest::newRow("a record no face claims")
            << binaryFile({{u"a"_qs, 1}, {u"cut"_qs, 4}, {u"b"_qs, 2}, {u"c"_qs, 3}}) << none << abc
            << true;
        QTest::newRow("a record no face claims, marked")
            << binaryFile(
                   {{u"a"_qs, 1}, {u"b"_qs, 2}, {u"c"_qs, 3}, {u"cut"_qs, 4, {}, true, true}})
            << none << abc << true;
        QTest::newRow("a claimed record still marked")
            << binaryFile({{u"a"_qs, 1}, {u"b"_qs, 2, {}, true, true}, {u"c"_qs, 3}}) << none << abc
            << false;
        // The marked record is found by its digest after the walk, the rest beside their faces.
        Records moved = {{u"b"_qs, 2, {}, true, true}, {u"a"_qs, 1}};
        QList<QList<QString>> longer = {{u"a"_qs, u"b"_qs}};
        for (int i = 0; i < 20; ++i) {
            moved.append({u"f%1"_qs.arg(i), 1});
            longer.append({u"f%1"_qs.arg(i)});
        }
        QTest::newRow("a claimed record still marked, moved")
            << binaryFile(moved) << none << longer << false;
        moved.first().orphaned = false;
        QTest::newRow("a claimed record moved") << binaryFile(moved) << none << longer << true;
        QTest::newRow("records far from the deck's order")
            << binaryFile({{u"c"_qs, 3}, {u"b"_qs, 2}, {u"a"_qs, 1}}) << none << abc << false;
        QTest::newRow("a journal ahead of the file")
            << binaryFile(written) << QList{journaled(u"b"_qs, 3, CardFaceProgress::Learning, 1)}
            << abc << false;
        QTest::newRow("a face only the journal knows")
            << binaryFile({{u"a"_qs, 1}, {u"b"_qs, 2}})
            << QList{journaled(u"c"_qs, 3, CardFaceProgress::Learning, 1)} << abc << false;
        QTest::newRow("a journal the file has caught up with")
            << binaryFile(written) << QList{journaled(u"b"_qs, 2, CardFaceProgress::Learning, 1)}
            << abc << true;
        QTest::newRow("a journal of a face cut long ago")
            << binaryFile(written) << QList{journaled(u"cut"_qs, 2, CardFaceProgress::Learning, 1)}
            << abc << true;
        QTest::newRow("an edited face takes its old record")
            << binaryFile({{u"a"_qs, 1}, {u"The capital of France is Paris."_qs, 2}}) << none
            << QList<QList<QString>>{{u"a"_qs, u"The capital of France is Paris!"_qs}} << false;
        QTest::newRow("no progress file") << QByteArray() << none << abc << false;
        QTest::newRow("no progress table")
            << QByteArray("bplist00 and then nothing") << none << abc << false;
    }
    void aRewriteWaitsOnlyWhenNothingIsOwed()
    {
        QFETCH(QByteArray, file);
        QFETCH(QList<JournalRecord>, journal);
        QFETCH(QList<QList<QString>>, cards);
        QFETCH(bool, waits);
        if (!file.isEmpty())
            writeFile(progressPath(), file);
        if (!journal.isEmpty())
            writeJournal(journal);
        const std::optional<FileStamp> stamp = fileStamp(progressPath());
        LoadReport report;
        load(deckText(cards), &report);
        QCOMPARE(report.progressFileAsRead.has_value(), waits);
        if (waits) {
            QCOMPARE(report.progressFileAsRead->path, progressPath());
            QVERIFY(report.progressFileAsRead->stamp == *stamp);
        }
    }

    void anEditedFaceTakesTheRecordOfItsOldText()
    {
        const QString old = u"The capital of France is Paris."_qs;
        const QString edited = u"The capital of France is Paris!"_qs;
        writeFile(progressPath(), binaryFile({{u"a"_qs, 1, CardFaceProgress::Learning},
                                              {old, 3, CardFaceProgress::Mastered},
                                              {u"c"_qs, 2, CardFaceProgress::Learning}}));
        // The journal moved the old text's record on since the file was written.
        writeJournal({journaled(old, 4, CardFaceProgress::Mastered, 1)});
        LoadReport report;
        const DataFile deck = load(deckText({{u"a"_qs}, {u"c"_qs, edited}}), &report);
        QCOMPARE(progressOf(deck.cards),
                 (QList<std::pair<int, CardFaceProgress>>{{1, CardFaceProgress::Learning},
                                                          {2, CardFaceProgress::Learning},
                                                          {4, CardFaceProgress::Mastered}}));
        QCOMPARE(report.reattachedFaces, 1);
        QCOMPARE(report.reattachedPlaces, (QList<std::pair<qsizetype, qsizetype>>{{1, 1}}));
        QCOMPARE(report.changes.reattached.value(digestOf(edited)), digestOf(old));
        QCOMPARE(report.unclaimedRecords, 0);
    }

    // A walk told to stop where it reports how far it got gives nothing, and leaves every face as
    // it was.
    void aWalkToldToStopLeavesTheFacesAsTheyWere()
    {
        QList<Record> records;
        for (int i = 0; i < 80000; ++i)
            records.append({QStringLiteral("face %1 ").arg(i).leftJustified(200, u'x'), 2});
        const QByteArray bytes = binaryFile(records);
        for (const bool goOn : {true, false}) {
            QList<CardFace> faces;
            std::vector<CardFace *> pointers;
            std::vector<FaceDigest> digests;
            for (const Record &record : std::as_const(records))
                faces.append(CardFace(faceText(record.text)));
            for (CardFace &face : faces) {
                pointers.push_back(&face);
                digests.push_back(faceDigest(face.text));
            }
            int told = 0;
            MatchedRecords matched;
            QCOMPARE(matchSavedRecords(bytes, pointers, digests, &matched,
                                       [&](qsizetype, qsizetype) {
                                           ++told;
                                           return goOn;
                                       }),
                     goOn);
            QVERIFY(goOn ? told >= 1 : told == 1);
            QVERIFY(std::all_of(faces.cbegin(), faces.cend(), [&](const CardFace &face) {
                return face.rating == (goOn ? 2 : 0);
            }));
        }
    }

    // Hashing the faces' texts takes seconds at a million faces: a reading given up on while it
    // hashes stops there, on every thread, instead of going on to walk the progress file.
    void aReadingGivenUpOnWhileHashingStopsThere()
    {
        // Enough faces for two hashing threads, each looking a dozen times.
        QList<QList<QString>> cards;
        QList<Record> records;
        for (int i = 0; i < 120000; ++i) {
            cards.append({QStringLiteral("face %1").arg(i)});
            records.append({cards.last().first(), 2});
        }
        const QString deckPath = m_dir.filePath(u"hashed.txt"_qs);
        writeFile(deckPath, deckText(cards).toUtf8());
        writeFile(progressPath(), binaryFile(records));

        // The shares told once both files are read, and once every face is hashed.
        LoadProgress probe;
        probe.setSizes(QFileInfo(deckPath).size(), QFileInfo(progressPath()).size());
        probe.advance(LoadProgress::Step::Deck, 1);
        probe.advance(LoadProgress::Step::ProgressFile, 1);
        const double read = probe.fraction();
        probe.advance(LoadProgress::Step::Merge, 0.4);
        const double hashed = probe.fraction();
        QVERIFY(hashed > read);

        std::atomic<bool> givenUp = false;
        double last = 0; // told under the progress's lock
        LoadProgress progress(
            [&](double share) {
                last = share;
                // Past the reading of the files, only the hashing tells.
                if (share > read)
                    givenUp = true;
            },
            [&] { return givenUp.load(); });
        LoadReport report;
        QString error;
        const std::optional<DataFile> deck =
            loadDeckFile(deckPath, m_deck, m_folder, nullptr, &report, &error, &progress);
        QVERIFY(!deck);
        QVERIFY(error.isEmpty());
        QVERIFY(givenUp);
        QVERIFY2(last < hashed, qPrintable(u"%1 of %2"_qs.arg(last).arg(hashed)));
    }

    void anEditSeenInMemoryTakesTheFaceThatStoodThere()
    {
        const QString old = u"The capital of Spain is Madrid"_qs;
        const QString before = deckText({{u"a"_qs}, {old}, {u"c"_qs}});
        writeFile(progressPath(), binaryFile({{u"a"_qs, 1, CardFaceProgress::Learning},
                                              {old, 3, CardFaceProgress::Mastered},
                                              {u"c"_qs, 2, CardFaceProgress::Learning}}));
        LoadReport report;
        DataFile previous = load(before, &report);
        previous.cards[1].faces[0].rating = 5;
        const DataFile deck =
            load(deckText({{u"a"_qs}, {old + u'!'}, {u"c"_qs}}), &report, &previous);
        QCOMPARE(deck.cards[1].faces[0].rating, 5);
        QCOMPARE(report.reattachedPlaces, (QList<std::pair<qsizetype, qsizetype>>{{1, 0}}));
        QCOMPARE(report.unclaimedRecords, 0);
    }
};

QTEST_GUILESS_MAIN(TestDeckLoader)
#include "test_deck_loader.moc"
