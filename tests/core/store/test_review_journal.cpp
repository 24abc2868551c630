#include "core/store/deck_loader.h"
#include "core/store/journal_writer.h"
#include "core/store/progress_store.h"
#include "core/store/review_journal.h"
#include "support/capture_stdout.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

JournalRecord sample(qint64 time, QStringView text = u"Paris\n")
{
    JournalRecord record;
    record.time = time;
    record.face = faceDigest(text);
    record.rating = qint8(time % 4);
    record.progress = CardFaceProgress::Learning;
    return record;
}

QByteArray journalOf(const QList<JournalRecord> &records)
{
    QByteArray bytes;
    for (const JournalRecord &record : records)
        bytes += encodeJournalRecord(record);
    return bytes;
}

QList<qint64> timesOf(const QList<JournalRecord> &records)
{
    QList<qint64> times;
    for (const JournalRecord &record : records)
        times.append(record.time);
    return times;
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestReviewJournal : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_folder;

    QString progressPath() const { return m_folder + u"/capitals.cards.plist"_qs; }

private Q_SLOTS:
    void init()
    {
        m_folder = m_dir.filePath(QString::fromLatin1(QTest::currentTestFunction()));
        QVERIFY(QDir().mkpath(m_folder));
    }

    void checksumIsZlibCrc32()
    {
        QCOMPARE(crc32("123456789"), 0xCBF43926u);
        QCOMPARE(crc32({}), 0u);
        // Eight bytes a step: every length and alignment against one bit at a time.
        const auto bitwise = [](QByteArrayView bytes) {
            quint32 c = 0xFFFFFFFFu;
            for (const char byte : bytes) {
                c ^= quint8(byte);
                for (int k = 0; k < 8; ++k)
                    c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            return c ^ 0xFFFFFFFFu;
        };
        QByteArray bytes;
        for (int i = 0; i < 64; ++i)
            bytes.append(char(i * 37 + 11));
        for (qsizetype start = 0; start < 8; ++start) {
            for (qsizetype length = 0; start + length <= bytes.size(); ++length) {
                const QByteArrayView piece(bytes.constData() + start, length);
                QCOMPARE(crc32(piece), bitwise(piece));
            }
        }
    }

    void recordsReadBackAsWritten_data()
    {
        QTest::addColumn<JournalRecord>("record");
        JournalRecord plain = sample(1'700'000'000'123);
        QTest::newRow("picker, nothing optional") << plain;

        JournalRecord review = sample(-5, u"こんにちは\n");
        review.kind = JournalChange::Review;
        review.grade = 3;
        review.stateBefore = SchedulingState::Relearning;
        review.rating = -1;
        review.progress = CardFaceProgress::Abandoned;
        review.progressRank = 255;
        review.lastReview = 1'700'000'000'000;
        review.nextReview = -1;
        review.memory = ReviewMemory{2.3065, 9.5, 12, 3, 1};
        QTest::newRow("review with every field") << review;

        JournalRecord learnt = review;
        learnt.kind = JournalChange::Reattachment;
        learnt.grade = 0;
        learnt.memory->learningStep.reset();
        learnt.lastReview.reset();
        QTest::newRow("learnt face, no step") << learnt;
    }

    void recordsReadBackAsWritten()
    {
        QFETCH(JournalRecord, record);
        const QByteArray bytes = encodeJournalRecord(record);
        QCOMPARE(bytes.size(), journalRecordSize);
        const JournalContents contents = parseJournal(bytes + bytes);
        QCOMPARE(contents.records, (QList<JournalRecord>{record, record}));
        QCOMPARE(contents.soundLength, 2 * journalRecordSize);
        QVERIFY(!contents.damaged);
    }

    // The layout the README gives other tools, read by an independent program.
    void pythonReadsTheDocumentedLayout()
    {
        JournalRecord record = sample(1'700'000'000'123);
        record.grade = 1;
        record.stateBefore = SchedulingState::Review;
        record.nextReview = 1'700'086'400'000;
        record.memory = ReviewMemory{0.212, 6.4133, 1, 0, 0};
        const QString path = m_folder + u"/one.journal"_qs;
        writeBytes(path, journalOf({record, record}));

        const char *script = R"(
import base64, struct, sys, zlib
data = open(sys.argv[1], 'rb').read()
pos = 0
while pos < len(data):
    assert data[pos:pos + 4] == b'MJR1'
    (length,) = struct.unpack_from('<I', data, pos + 4)
    body = data[pos + 8:pos + 8 + length]
    (crc,) = struct.unpack_from('<I', data, pos + 8 + length)
    assert crc == zlib.crc32(data[pos + 4:pos + 8 + length])
    t, digest, kind, grade, state, rating, progress, rank, flags = struct.unpack_from('<q16sBBBbBBB', body)
    last, nxt, stability, difficulty, reviews, lapses, step = struct.unpack_from('<qqddqqq', body, 32)
    print(t, base64.b64encode(digest).decode(), kind, grade, state, rating, progress, rank, flags,
          nxt if flags & 2 else None, round(stability, 4), round(difficulty, 4), reviews, lapses,
          step if flags & 8 else None)
    pos += 8 + length + 4
)";
        QProcess python;
        python.start(u"python3"_qs, {u"-c"_qs, QString::fromLatin1(script), path});
        QVERIFY(python.waitForFinished(20000));
        QCOMPARE(python.readAllStandardError(), QByteArray());
        const QByteArray line = "1700000000123 " + faceKey(u"Paris\n").toLatin1() +
                                " 1 1 2 3 1 0 14 1700086400000 0.212 6.4133 1 0 0\n";
        QCOMPARE(python.readAllStandardOutput(), line + line);
    }

    void tornTailLosesOnlyTheLastRecord()
    {
        const QByteArray whole = journalOf({sample(1), sample(2), sample(3)});
        const qsizetype lastStart = 2 * journalRecordSize;
        for (qsizetype cut = lastStart; cut < whole.size(); ++cut) {
            const JournalContents contents = parseJournal(whole.left(cut));
            QCOMPARE(timesOf(contents.records), (QList<qint64>{1, 2}));
            QCOMPARE(contents.soundLength, lastStart);
            QVERIFY2(!contents.damaged, qPrintable(QString::number(cut)));
        }
        // A power cut may leave the file longer than what reached it, filled with zeros.
        QByteArray zeroed = whole;
        zeroed.replace(lastStart + 20, journalRecordSize - 20,
                       QByteArray(journalRecordSize - 20, 0));
        const JournalContents contents = parseJournal(zeroed);
        QCOMPARE(timesOf(contents.records), (QList<qint64>{1, 2}));
        QVERIFY(!contents.damaged);
    }

    void damageInTheMiddleIsDetectedAndSkipped_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray one = encodeJournalRecord(sample(1));
        const QByteArray two = encodeJournalRecord(sample(2));
        const QByteArray three = encodeJournalRecord(sample(3));
        QByteArray flipped = two;
        flipped[40] = char(flipped[40] ^ 0x10);
        QTest::newRow("a flipped bit") << one + flipped + three;
        QByteArray longer = two;
        longer[4] = char(200);
        QTest::newRow("a wrong length") << one + longer + three;
        QTest::newRow("a record cut short") << one + two.left(37) + three;
        QTest::newRow("junk between records") << one + QByteArray("MJR1\xff\xff junk") + three;
        QTest::newRow("junk at the start") << QByteArray(7, 'x') + one + three;
    }

    void damageInTheMiddleIsDetectedAndSkipped()
    {
        QFETCH(QByteArray, bytes);
        const JournalContents contents = parseJournal(bytes);
        QVERIFY(contents.damaged);
        QCOMPARE(contents.records.first().time, 1);
        QCOMPARE(contents.records.last().time, 3);
        QCOMPARE(contents.soundLength, bytes.size());
    }

    void recordsOfUnknownKindsAreSkipped()
    {
        JournalRecord later = sample(2);
        later.kind = JournalChange(9);
        const QByteArray bytes = journalOf({sample(1), later, sample(3)});
        const JournalContents contents = parseJournal(bytes);
        QCOMPARE(timesOf(contents.records), (QList<qint64>{1, 3}));
        QVERIFY(!contents.damaged);
    }

    void writerCutsATornTailBeforeAppending()
    {
        const QString path = journalPath(progressPath(), u"0123456789abcdef"_qs);
        const QByteArray whole = journalOf({sample(1), sample(2)});
        writeBytes(path, whole.left(whole.size() - 30));
        JournalWriter writer;
        QString error;
        QVERIFY2(writer.open(path, &error), qPrintable(error));
        QVERIFY(writer.append(sample(3), &error));
        const JournalContents contents = parseJournal(readBytes(path));
        QCOMPARE(timesOf(contents.records), (QList<qint64>{1, 3}));
        QVERIFY(!contents.damaged);
        QCOMPARE(contents.soundLength, readBytes(path).size());
    }

    void writerSetsADamagedJournalAsideAndKeepsItsRecords()
    {
        const QString path = journalPath(progressPath(), u"0123456789abcdef"_qs);
        QByteArray damaged = journalOf({sample(1), sample(2), sample(3)});
        damaged[journalRecordSize + 50] = 'x';
        for (int round = 1; round <= 2; ++round) {
            writeBytes(path, damaged);
            CaptureStdout output;
            JournalWriter writer;
            QString error;
            QVERIFY2(writer.open(path, &error), qPrintable(error));
            QVERIFY(writer.append(sample(4), &error));
            const QString aside = path + u".corrupt-"_qs + QString::number(round);
            QVERIFY(output.text().contains(aside));
            QCOMPARE(readBytes(aside), damaged);
            const JournalContents contents = parseJournal(readBytes(path));
            QCOMPARE(timesOf(contents.records), (QList<qint64>{1, 3, 4}));
            QVERIFY(!contents.damaged);
        }
        QVERIFY(QFile::exists(path + u".corrupt-1"_qs));
    }

    void writerRefusesWhatIsNoRegularFile()
    {
        const QString link = m_folder + u"/link.journal"_qs;
        QVERIFY(QFile::link(m_folder + u"/elsewhere"_qs, link));
        const QString fifo = m_folder + u"/fifo.journal"_qs;
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        for (const QString &path : {link, fifo, m_folder}) {
            JournalWriter writer;
            QString error;
            QVERIFY2(!writer.open(path, &error), qPrintable(path));
            QVERIFY(!error.isEmpty());
            QVERIFY(!writer.append(sample(1), &error));
        }
        QVERIFY(!QFileInfo::exists(m_folder + u"/elsewhere"_qs));
    }

    void deckJournalsAreFoundByExactName()
    {
        const QString id = u"0123456789abcdef"_qs;
        const QStringList names = {
            u"capitals.cards.0123456789abcdef.journal"_qs,
            u"capitals.cards.fedcba9876543210.journal"_qs,
            u"capitals.cards.0123456789abcdef.journal.corrupt-1"_qs,
            u"capitals.cards.x.0123456789abcdef.journal"_qs,
            u"capitals.0123456789abcdef.journal"_qs,
            u"capitals.cards.0123456789ABCDEF.journal"_qs,
            u"capitals.cards.0123456789abcde.journal"_qs,
            u"[capitals].cards.0123456789abcdef.journal"_qs,
        };
        for (const QString &name : names)
            writeBytes(m_folder + u'/' + name, {});
        QCOMPARE(journalPath(progressPath(), id), m_folder + u'/' + names[0]);
        QCOMPARE(deckJournalPaths(progressPath()),
                 (QStringList{m_folder + u'/' + names[0], m_folder + u'/' + names[1]}));
        const QString wild = m_folder + u"/[capitals].cards.plist"_qs;
        QCOMPARE(deckJournalPaths(wild), QStringList{m_folder + u'/' + names[7]});
        const QString untitled = m_folder + u"/.untitled.plist"_qs;
        writeBytes(journalPath(untitled, id), {});
        QCOMPARE(deckJournalPaths(untitled), QStringList{journalPath(untitled, id)});
    }

    void journalsOfAllMachinesMergeInTimeOrder()
    {
        // The second machine's clock went back between its changes 7 and 2: its own order stays.
        writeBytes(journalPath(progressPath(), u"0000000000000001"_qs),
                   journalOf({sample(1), sample(4), sample(10)}));
        writeBytes(journalPath(progressPath(), u"0000000000000002"_qs),
                   journalOf({sample(3), sample(7), sample(2), sample(12)}));
        QByteArray damaged = journalOf({sample(5), sample(6), sample(8)});
        damaged[journalRecordSize + 3] = 0;
        writeBytes(journalPath(progressPath(), u"0000000000000003"_qs), damaged);

        const DeckJournal journal = readDeckJournal(progressPath());
        QCOMPARE(timesOf(journal.records), (QList<qint64>{1, 3, 4, 5, 7, 2, 8, 10, 12}));
        QCOMPARE(journal.damagedPaths,
                 QStringList{journalPath(progressPath(), u"0000000000000003"_qs)});
    }

    void loadingReplaysTheJournalsOverTheProgressFile()
    {
        const QUrl url = QUrl::fromLocalFile(u"/decks/capitals.cards.txt"_qs);
        const QString text = u"=== 1\nParis\n--- 2\nRome\n--- 3\nBern\n"_qs;
        DataFile saved = loadDataFile(text, url, m_folder);
        for (CardFace &face : saved.cards[0].faces) {
            face.rating = 1;
            face.progress = CardFaceProgress::Mastered;
        }
        QVERIFY(saveProgress(url, saved.cards, m_folder));

        auto record = [](qint64 time, QStringView face, qint8 rating, CardFaceProgress progress) {
            JournalRecord r = sample(time, face);
            r.rating = rating;
            r.progress = progress;
            return r;
        };
        JournalRecord scheduled = record(5, u"Paris\n", 3, CardFaceProgress::Learning);
        scheduled.lastReview = 1'700'000'000'000;
        scheduled.nextReview = 1'700'000'600'000;
        scheduled.memory = ReviewMemory{2.3065, 2.118, 2, 0, 1};
        writeBytes(journalPath(progressPath(), u"0000000000000001"_qs),
                   journalOf({record(1, u"Paris\n", 2, CardFaceProgress::Learning), scheduled}));
        writeBytes(journalPath(progressPath(), u"0000000000000002"_qs),
                   journalOf({record(3, u"Paris\n", 0, CardFaceProgress::Abandoned),
                              record(4, u"Rome\n", 0, CardFaceProgress::Archived)}));

        const DataFile loaded = loadDataFile(text, url, m_folder);
        QList<std::pair<qint8, CardFaceProgress>> progress;
        for (const CardFace &face : loaded.cards[0].faces)
            progress.append({face.rating, face.progress});
        QCOMPARE(progress,
                 (QList<std::pair<qint8, CardFaceProgress>>{{3, CardFaceProgress::Learning},
                                                            {0, CardFaceProgress::Archived},
                                                            {1, CardFaceProgress::Mastered}}));
        // The last record gives the face its whole state, schedule and all.
        const CardFace &paris = loaded.cards[0].faces[0];
        QCOMPARE(paris.lastReview, QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC));
        QCOMPARE(paris.nextReview, QDateTime::fromMSecsSinceEpoch(1'700'000'600'000, Qt::UTC));
        QCOMPARE(paris.memory, (ReviewMemory{2.3065, 2.118, 2, 0, 1}));
        QVERIFY(!loaded.cards[0].faces[1].memory);
    }

    void machineIdIsStableHexAndHidesTheSystemId()
    {
        const QString file = m_folder + u"/machine-id"_qs;
        writeBytes(file, "4c4c4544003510548038b4c04f4d4e32\n");
        const QString missing = m_folder + u"/missing"_qs;
        const QString fromFile = journalMachineId({missing, file}, u"host"_qs);
        QCOMPARE(fromFile.size(), 16);
        QVERIFY(QRegularExpression(u"^[0-9a-f]{16}$"_qs).match(fromFile).hasMatch());
        QVERIFY(!u"4c4c4544003510548038b4c04f4d4e32"_qs.contains(fromFile));
        QCOMPARE(journalMachineId({file}, u"other"_qs), fromFile);
        const QString fromHost = journalMachineId({missing}, u"host"_qs);
        QVERIFY(fromHost != fromFile);
        QVERIFY(journalMachineId({missing}, u"other"_qs) != fromHost);
        QCOMPARE(journalMachineId(), journalMachineId());
    }
};

QTEST_GUILESS_MAIN(TestReviewJournal)
#include "test_review_journal.moc"
