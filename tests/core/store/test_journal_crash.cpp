#include "core/store/journal_writer.h"
#include "core/store/review_journal.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cstring>
#include <unistd.h>

namespace {

constexpr char childFlag[] = "--append-until-killed";

// The child: appends records numbered from first on, and after each append that returned
// writes its number to standard output, until it is killed.
int appendUntilKilled(const char *path, const char *first)
{
    JournalWriter writer;
    QString error;
    if (!writer.open(QString::fromLocal8Bit(path), &error))
        return 2;
    for (qint64 n = std::strtoll(first, nullptr, 10);; ++n) {
        JournalRecord record;
        record.time = n;
        record.face = faceDigest(QString::number(n));
        record.kind = JournalChange::Review;
        record.grade = 3;
        record.rating = 1;
        record.progress = CardFaceProgress::Learning;
        if (!writer.append(record, &error))
            return 3;
        if (::write(STDOUT_FILENO, &n, sizeof n) != sizeof n)
            return 4;
    }
}

} // namespace

class TestJournalCrash : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Kills an appending process at random moments, as often as the test's time allows: every
    // append that returned is in the journal afterwards, in order, and the journal is whole.
    void everyReturnedAppendSurvivesAKill()
    {
        QTemporaryDir dir;
        const QString progressFile = dir.filePath(u"deck.plist"_qs);
        const QString path = journalPath(progressFile, u"0123456789abcdef"_qs);
        QRandomGenerator random(20261206);
        qint64 next = 0;
        qint64 acknowledgedTotal = 0;
        const int runs = 200;
        for (int run = 0; run < runs; ++run) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(),
                        {QString::fromLatin1(childFlag), path, QString::number(next)});
            QVERIFY(child.waitForStarted());
            // One kill in four comes while the journal is still being opened or repaired.
            if (run % 4 != 0)
                QVERIFY(child.waitForReadyRead(5000));
            QThread::usleep(random.bounded(8000));
            child.kill();
            QVERIFY(child.waitForFinished(5000));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);

            const QByteArray acks = child.readAllStandardOutput();
            QCOMPARE(acks.size() % qsizetype(sizeof(qint64)), 0);
            QList<qint64> acknowledged(acks.size() / qsizetype(sizeof(qint64)));
            if (!acks.isEmpty()) // a kill before the first acknowledgement leaves none
                std::memcpy(acknowledged.data(), acks.constData(), size_t(acks.size()));
            acknowledgedTotal += acknowledged.size();

            const DeckJournal journal = readDeckJournal(progressFile);
            QVERIFY(journal.damagedPaths.isEmpty());
            // Numbers follow each other: nothing lost, nothing twice. At most the one append
            // that the kill interrupted before it was acknowledged is there beyond them.
            for (qsizetype i = 0; i < journal.records.size(); ++i)
                QCOMPARE(journal.records[i].time, i);
            const qint64 found = journal.records.size();
            if (!acknowledged.isEmpty()) {
                QCOMPARE(acknowledged.first(), next);
                QVERIFY2(
                    found > acknowledged.last(),
                    qPrintable(
                        u"run %1: %2 of %3 acknowledged records found"_qs.arg(run).arg(found).arg(
                            acknowledged.last() + 1)));
                QVERIFY(found <= acknowledged.last() + 2);
            } else {
                QVERIFY(found <= next + 1);
            }
            next = found;
        }
        // Enough appends happened for the kills to have landed among them.
        QVERIFY2(acknowledgedTotal >= runs, qPrintable(QString::number(acknowledgedTotal)));
    }
};

int main(int argc, char **argv)
{
    if (argc == 4 && std::strcmp(argv[1], childFlag) == 0)
        return appendUntilKilled(argv[2], argv[3]);
    QCoreApplication app(argc, argv);
    TestJournalCrash test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_journal_crash.moc"
