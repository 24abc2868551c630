#include "core/app/command_line.h"
#include "core/app/deck_report.h"
#include "core/model/flashcard_reader.h"
#include "core/store/deck_loader.h"
#include "core/store/progress_store.h"
#include "core/store/review_journal.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

// The read-only command line: memoranth --stats FILE, --dump FILE and --due FILE.
class TestDeckReport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;

    struct Result
    {
        int status;
        QByteArray out;
        QByteArray err;
    };

    Result run(const QStringList &arguments, const QString &language = u"en"_qs,
               const QString &outputFile = QString())
    {
        QProcess process;
        if (!outputFile.isEmpty())
            process.setStandardOutputFile(outputFile);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"LANGUAGE"_qs, language);
        env.insert(u"HOME"_qs, m_home.path());
        env.insert(u"XDG_DATA_HOME"_qs, m_home.filePath(u"data"_qs));
        env.insert(u"XDG_CONFIG_HOME"_qs, m_home.filePath(u"config"_qs));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(MEMORANTH_BINARY), arguments);
        process.waitForFinished(30000);
        return {process.exitCode(), process.readAllStandardOutput(),
                process.readAllStandardError()};
    }

    QString writeDeck(const QString &name, const QByteArray &bytes)
    {
        QFile file(m_home.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return file.fileName();
    }

    QString progressFolder() const { return m_home.filePath(u"data/" MEMORANTH_APP_ID ""_qs); }

private Q_SLOTS:
    void dumpShowsTheDeckWithSavedProgress()
    {
        const QString deck = writeDeck(u"greek.cards.txt"_qs, "=== 1\nα \"quoted\"\n---\nalpha\n");
        QDir().mkpath(progressFolder());
        DataFile saved = loadDataFile(*readUtf8File(deck), QUrl::fromLocalFile(deck), std::nullopt);
        saved.cards[0].faces[1].rating = 2;
        saved.cards[0].faces[1].progress = CardFaceProgress::Mastered;
        saved.cards[0].faces[1].lastReview = QDateTime(QDate(2026, 3, 28), QTime(20, 15), Qt::UTC);
        saved.cards[0].faces[1].nextReview =
            QDateTime(QDate(2026, 3, 28), QTime(20, 25, 0, 500), Qt::UTC);
        saved.cards[0].faces[1].memory = ReviewMemory{2.3065, 2.118103970459016, 2, 0, 1};
        QVERIFY(saveProgress(QUrl::fromLocalFile(deck), saved.cards, progressFolder()));

        const Result result = run({u"--dump"_qs, deck});
        QCOMPARE(result.status, 0);
        const QString expected =
            u"{\"title\": \"greek.cards\", \"progressFile\": \"%1/greek.cards.plist\", \"cards\": "
            u"[{\"cardID\": 0, \"faces\": [{\"cardFaceID\": 0, \"text\": \"α \\\"quoted\\\"\\n\", "
            u"\"rating\": 0, \"progress\": \"new\", \"key\": \"%2\"}, {\"cardFaceID\": 1, "
            u"\"text\": "
            u"\"alpha\\n\\n\", \"rating\": 2, \"progress\": \"mastered\", \"key\": \"%3\", "
            u"\"lastReview\": \"2026-03-28T20:15:00.000Z\", "
            u"\"nextReview\": \"2026-03-28T20:25:00.500Z\", \"stability\": 2.3065, "
            u"\"difficulty\": 2.118103970459016, \"reviews\": 2, \"lapses\": 0, "
            u"\"learningStep\": 1}]}]}\n"_qs.arg(progressFolder(), faceKey(u"α \"quoted\"\n"),
                                                 faceKey(u"alpha\n\n"));
        QCOMPARE(QString::fromUtf8(result.out), expected);
        QVERIFY(!QJsonDocument::fromJson(result.out).isNull());
    }

    // Each text reads back from the dump as it is, whatever characters it holds.
    void dumpWritesEachTextAsItReads_data()
    {
        QTest::addColumn<QString>("text");

        QTest::newRow("ascii escapes") << u"\"quoted\" \\ tab\t cr\r\u0001\u007f\n"_qs;
        QTest::newRow("latin-1") << u"café ÿ \u0080\u0085\u00a0\n"_qs;
        QTest::newRow("wide") << u"日本 and é\n"_qs;
        QTest::newRow("surrogate pair") << u"\U0001F600\n"_qs;
    }

    void dumpWritesEachTextAsItReads()
    {
        QFETCH(QString, text);
        DataFile deck;
        deck.cards.append(Card({CardFace(text)}));
        const QJsonDocument dump = QJsonDocument::fromJson(deckDumpJson(deck, QString()));
        const QJsonValue face = dump[u"cards"_qs][0][u"faces"_qs][0];
        QCOMPARE(face[u"text"_qs].toString(), text);
        QCOMPARE(face[u"key"_qs].toString(), faceKey(text));
    }

    void orphansListsTheRecordsNoFaceClaims()
    {
        const QString deck = writeDeck(u"vocab.txt"_qs, "===\nkeep\n===\ncut away");
        QDir().mkpath(progressFolder());
        const QUrl url = QUrl::fromLocalFile(deck);
        DataFile saved = loadDataFile(*readUtf8File(deck), url, std::nullopt);
        saved.cards[1].faces[0].rating = 3;
        saved.cards[1].faces[0].progress = CardFaceProgress::Mastered;
        const QDateTime when(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC);
        QVERIFY(saveProgress(url, saved.cards, progressFolder(), FaceChanges::everyFace(), when));
        QVERIFY(saveProgress(url, readCards(u"===\nkeep"_qs), progressFolder(), {}, when));
        const QString plist = progressFolder() + u"/vocab.plist"_qs;

        writeDeck(u"vocab.txt"_qs, "===\nkeep");
        const Result result = run({u"--orphans"_qs, deck});
        QCOMPARE(result.status, 0);
        QCOMPARE(QString::fromUtf8(result.out),
                 u"{\"progressFile\": \"%1\", \"orphans\": [\n  {\"key\": \"%2\", \"text\": "
                 u"\"cut away\\n\", \"rating\": 3, \"progress\": \"mastered\", "
                 u"\"orphanedSince\": \"2026-03-01T12:00:00Z\"}\n]}\n"_qs.arg(
                     plist, faceKey(u"cut away\n")));
        QVERIFY(!QJsonDocument::fromJson(result.out).isNull());
    }

    // The journals hold changes the progress file has not taken in yet; what was compacted
    // before, and then dropped from the file, stays out.
    void orphansListsWhatOnlyTheJournalsHold()
    {
        const QString deck = writeDeck(u"journaled.txt"_qs, "===\nkeep\n===\ncut away");
        QDir().mkpath(progressFolder());
        const QUrl url = QUrl::fromLocalFile(deck);
        const DataFile saved = loadDataFile(*readUtf8File(deck), url, std::nullopt);
        const QDateTime when(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC);
        QVERIFY(saveProgress(url, saved.cards, progressFolder(), FaceChanges::everyFace(), when));
        const QString plist = progressFolder() + u"/journaled.plist"_qs;
        const qint64 written = QFileInfo(plist).lastModified().toMSecsSinceEpoch();

        QByteArray journal;
        const auto append = [&](const QString &face, qint8 rating, qint64 time) {
            JournalRecord record;
            record.face = faceDigest(face);
            record.time = time;
            record.kind = JournalChange::Picker;
            record.rating = rating;
            record.progress = CardFaceProgress::Learning;
            journal += encodeJournalRecord(record);
        };
        append(u"cut away\n"_qs, 2, written + 1000);         // newer than the file's record
        append(u"pruned long ago\n"_qs, 1, written - 1000);  // compacted, then dropped
        append(u"edited meanwhile\n"_qs, 3, written + 2000); // never compacted
        QFile file(journalPath(plist, u"0123456789abcdef"_qs));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(journal) == journal.size());
        file.close();

        writeDeck(u"journaled.txt"_qs, "===\nkeep");
        const Result result = run({u"--orphans"_qs, deck});
        QCOMPARE(result.status, 0);
        const QJsonArray orphans =
            QJsonDocument::fromJson(result.out).object()[u"orphans"_qs].toArray();
        QCOMPARE(orphans.size(), 2);
        QCOMPARE(orphans[0][u"key"_qs].toString(), faceKey(u"cut away\n"));
        QCOMPARE(orphans[0][u"text"_qs].toString(), u"cut away\n"_qs);
        QCOMPARE(orphans[0][u"rating"_qs].toInt(), 2);
        QCOMPARE(orphans[0][u"progress"_qs].toString(), u"learning"_qs);
        QCOMPARE(orphans[1][u"key"_qs].toString(), faceKey(u"edited meanwhile\n"));
        QVERIFY(orphans[1][u"text"_qs].isNull());
        QCOMPARE(orphans[1][u"rating"_qs].toInt(), 3);
        QVERIFY(orphans[1][u"orphanedSince"_qs].isNull());
    }

    void statsSummarisesWithoutWriting()
    {
        const QString deck = writeDeck(u"plain.txt"_qs, "===\na\n---\nb\n===\nc");
        const Result result = run({u"--stats"_qs, deck});
        QCOMPARE(result.status, 0);
        const QString text = QString::fromUtf8(result.out);
        QVERIFY2(text.contains(u"Title: plain\n"_qs) && text.contains(u"Cards: 2\n"_qs) &&
                     text.contains(u"Faces: 3\n"_qs) && text.contains(u"new: 3\n"_qs) &&
                     text.contains(u"(not found)"_qs),
                 qPrintable(text));
        QVERIFY(!QFileInfo::exists(m_home.filePath(u"data/" MEMORANTH_APP_ID "/plain.plist"_qs)));
    }

    // The faces in the order the Due mode takes them: the step that ended first, then the
    // learnt face; then the new ones.
    void dueListsFacesInStudyOrder()
    {
        const QDateTime now(QDate(2026, 6, 10), QTime(12, 0), Qt::UTC);
        DataFile deck{u"d"_qs, readCards(u"===\nA\n---\nB\n===\nC\n---\nD\n===\nE"_qs)};
        CardFace &learnt = deck.cards[0].faces[1];
        learnt.memory = ReviewMemory{10, 5, 3, 0, std::nullopt};
        learnt.lastReview = now.addDays(-10);
        learnt.nextReview = now.addDays(-1);
        CardFace &learning = deck.cards[1].faces[0];
        learning.memory = ReviewMemory{2, 5, 1, 0, 1};
        learning.lastReview = now.addSecs(-700);
        learning.nextReview = now.addSecs(-100);
        CardFace &later = deck.cards[1].faces[1];
        later.memory = ReviewMemory{30, 5, 3, 0, std::nullopt};
        later.lastReview = now;
        later.nextReview = now.addDays(30);
        const StudyDayClock clock(QTime(4, 0), QTimeZone::utc());
        const Scheduler scheduler;
        const QByteArray json =
            deckDueJson(deck, buildDueQueue(deck, now, clock, 1), scheduler, now);
        const QString expected =
            u"{\"now\": \"2026-06-10T12:00:00.000Z\", \"due\": ["
            u"{\"key\": \"%1\", \"cardID\": 1, \"cardFaceID\": 0, "
            u"\"nextReview\": \"2026-06-10T11:58:20.000Z\", \"retrievability\": 1}, "
            u"{\"key\": \"%2\", \"cardID\": 0, \"cardFaceID\": 1, "
            u"\"nextReview\": \"2026-06-09T12:00:00.000Z\", \"retrievability\": 0.9}], "
            u"\"new\": [{\"key\": \"%3\", \"cardID\": 0, \"cardFaceID\": 0}]}\n"_qs.arg(
                faceKey(u"C\n"), faceKey(u"B\n"), faceKey(u"A\n"));
        QCOMPARE(QString::fromUtf8(json), expected);
    }

    void dueReportWritesNothing()
    {
        const QString deck = writeDeck(u"due.txt"_qs, "===\nQ\n---\nA\n");
        const Result result = run({u"--due"_qs, deck});
        QCOMPARE(result.status, 0);
        const QJsonObject report = QJsonDocument::fromJson(result.out).object();
        QVERIFY(QDateTime::fromString(report[u"now"_qs].toString(), Qt::ISODateWithMs).isValid());
        QCOMPARE(report[u"due"_qs].toArray().size(), 0);
        QCOMPARE(report[u"new"_qs].toArray().size(), 2);
        QVERIFY(!QFileInfo::exists(progressFolder() + u"/due.plist"_qs));
        QVERIFY(
            !QFileInfo::exists(m_home.filePath(u"config/" MEMORANTH_APP_ID "/preferences.ini"_qs)));
    }

    void parsesTheCommandLine_data()
    {
        using Action = CommandLine::Action;
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Action>("action");
        QTest::addColumn<QString>("file");
        QTest::newRow("nothing") << QStringList{} << Action::OpenWindow << QString();
        QTest::newRow("a file") << QStringList{u"a.txt"_qs} << Action::OpenWindow << u"a.txt"_qs;
        QTest::newRow("after --") << QStringList{u"--"_qs, u"-a.txt"_qs} << Action::OpenWindow
                                  << u"-a.txt"_qs;
        QTest::newRow("option after --")
            << QStringList{u"--"_qs, u"--stats"_qs} << Action::OpenWindow << u"--stats"_qs;
        QTest::newRow("Qt's options") << QStringList{u"-platform"_qs, u"xcb"_qs, u"a.txt"_qs}
                                      << Action::OpenWindow << u"a.txt"_qs;
        QTest::newRow("stats") << QStringList{u"--stats"_qs, u"a.txt"_qs} << Action::Stats
                               << u"a.txt"_qs;
        QTest::newRow("dump") << QStringList{u"--dump"_qs, u"a.txt"_qs} << Action::Dump
                              << u"a.txt"_qs;
        QTest::newRow("due") << QStringList{u"--due"_qs, u"a.txt"_qs} << Action::Due << u"a.txt"_qs;
        QTest::newRow("dump and due") << QStringList{u"--due"_qs, u"a"_qs, u"--dump"_qs, u"a"_qs}
                                      << Action::Invalid << QString();
        QTest::newRow("orphans") << QStringList{u"--orphans"_qs, u"a.txt"_qs} << Action::Orphans
                                 << u"a.txt"_qs;
        QTest::newRow("orphans and dump")
            << QStringList{u"--orphans"_qs, u"a"_qs, u"--dump"_qs, u"a"_qs} << Action::Invalid
            << QString();
        QTest::newRow("-h") << QStringList{u"-h"_qs} << Action::Help << QString();
        QTest::newRow("help after a file")
            << QStringList{u"a.txt"_qs, u"--help"_qs} << Action::Help << QString();
        QTest::newRow("-v") << QStringList{u"-v"_qs} << Action::Version << QString();
        QTest::newRow("unknown option")
            << QStringList{u"--bogus"_qs} << Action::Invalid << QString();
        QTest::newRow("two files") << QStringList{u"a"_qs, u"b"_qs} << Action::Invalid << QString();
        QTest::newRow("stats and a file")
            << QStringList{u"--stats"_qs, u"a"_qs, u"b"_qs} << Action::Invalid << QString();
        QTest::newRow("stats and dump")
            << QStringList{u"--stats"_qs, u"a"_qs, u"--dump"_qs, u"a"_qs} << Action::Invalid
            << QString();
        QTest::newRow("stats without a file")
            << QStringList{u"--stats"_qs} << Action::Invalid << QString();
        QTest::newRow("stats as JSON")
            << QStringList{u"--json"_qs, u"--stats"_qs, u"a"_qs} << Action::Stats << u"a"_qs;
        QTest::newRow("JSON without stats")
            << QStringList{u"--dump"_qs, u"a"_qs, u"--json"_qs} << Action::Invalid << QString();
        QTest::newRow("export reviews")
            << QStringList{u"--export-reviews"_qs, u"a"_qs} << Action::ExportReviews << u"a"_qs;
        QTest::newRow("export and stats")
            << QStringList{u"--export-reviews"_qs, u"a"_qs, u"--stats"_qs, u"a"_qs}
            << Action::Invalid << QString();
    }

    void parsesTheCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(CommandLine::Action, action);
        QFETCH(QString, file);
        const CommandLine parsed = parseCommandLine(QStringList{u"memoranth"_qs} + arguments);
        QCOMPARE(parsed.action, action);
        QCOMPARE(parsed.file, file);
        QCOMPARE(parsed.error.isEmpty(), action != CommandLine::Action::Invalid);
        QCOMPARE(parsed.json,
                 arguments.contains(u"--json"_qs) && action == CommandLine::Action::Stats);
    }

    // The review history in the journal: statistics as JSON and the review log as CSV.
    void reviewHistoryReports()
    {
        const QString deck = writeDeck(u"history.txt"_qs, "===\nforgotten\n---\nrecalled\n");
        QDir().mkpath(progressFolder());
        const QString progressPath = progressFolder() + u"/history.plist"_qs;
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        QByteArray journal;
        const auto append = [&](const QString &face, int grade, qint64 time) {
            JournalRecord record;
            record.face = faceDigest(face);
            record.time = time;
            record.grade = quint8(grade);
            record.stateBefore = SchedulingState::Review;
            record.lastReview = time;
            record.nextReview = time + 86400000;
            record.memory = ReviewMemory{5, 5, 2, grade == 1 ? 1 : 0, std::nullopt};
            journal += encodeJournalRecord(record);
        };
        append(u"recalled\n"_qs, 3, now - 1000);
        append(u"forgotten\n"_qs, 1, now - 900);
        QFile file(journalPath(progressPath, u"0123456789abcdef"_qs));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(journal) == journal.size());
        file.close();

        const Result json = run({u"--stats"_qs, deck, u"--json"_qs});
        QCOMPARE(json.status, 0);
        const QJsonObject stats = QJsonDocument::fromJson(json.out).object();
        QCOMPARE(stats[u"faces"_qs].toInt(), 2);
        QCOMPARE(stats[u"reviews"_qs][u"total"_qs].toInt(), 2);
        QCOMPARE(stats[u"reviews"_qs][u"perGrade"_qs][u"again"_qs].toInt(), 1);
        QCOMPARE(stats[u"retention"_qs][u"perMonth"_qs].toArray().size(), 12);
        QCOMPARE(stats[u"hardest"_qs][0][u"text"_qs].toString(), u"forgotten\n"_qs);

        const Result text = run({u"--stats"_qs, deck});
        QVERIFY2(text.out.contains("Reviews: 2 (again 1, hard 0, good 1, easy 0)\n") &&
                     text.out.contains("  1  Card 0, face 0: forgotten\n"),
                 text.out.constData());

        const Result csv = run({u"--export-reviews"_qs, deck});
        QCOMPARE(csv.status, 0);
        const QList<QByteArray> lines = csv.out.split('\n');
        QCOMPARE(lines.size(), 4); // a header, two reviews and the final newline
        QCOMPARE(lines[0], "card_id,review_time,review_rating,review_state,review_duration");
        QVERIFY(lines[2].endsWith("," + QByteArray::number(now - 900) + ",1,2,0"));
        QVERIFY(QFileInfo::exists(progressPath) == false);
    }

    void helpAndVersion_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("expected");
        QTest::newRow("--help") << u"--help"_qs << u"en"_qs << u"Usage: memoranth [FILE]\n"_qs;
        QTest::newRow("-h") << u"-h"_qs << u"en"_qs << u"  --dump FILE "_qs;
        QTest::newRow("--orphans listed") << u"--help"_qs << u"en"_qs << u"  --orphans FILE "_qs;
        QTest::newRow("German") << u"--help"_qs << u"de"_qs << u"Aufruf: memoranth [DATEI]\n"_qs;
        QTest::newRow("--version")
            << u"--version"_qs << u"en"_qs << u"Memoranth " MEMORANTH_VERSION "\n"_qs;
        QTest::newRow("-v") << u"-v"_qs << u"en"_qs << u"Memoranth "_qs;
    }

    void helpAndVersion()
    {
        QFETCH(QString, option);
        QFETCH(QString, language);
        QFETCH(QString, expected);
        const Result result = run({option}, language);
        QCOMPARE(result.status, 0);
        QVERIFY2(QString::fromUtf8(result.out).contains(expected), result.out.constData());
        QVERIFY(result.err.isEmpty());
    }

    void usageErrorsAreExplained_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("expected");
        QTest::newRow("English")
            << u"en"_qs << u"memoranth: Unknown option 'bogus'.\nTry 'memoranth --help'"_qs;
        // Qt's part of the message comes from Qt's own translations.
        QTest::newRow("German")
            << u"de"_qs
            << u"memoranth: Unbekannte Option 'bogus'.\nWeitere Informationen mit „memoranth --help“"_qs;
    }

    void usageErrorsAreExplained()
    {
        QFETCH(QString, language);
        QFETCH(QString, expected);
        const Result result = run({u"--bogus"_qs}, language);
        QCOMPARE(result.status, 2);
        QVERIFY(result.out.isEmpty());
        QVERIFY2(QString::fromUtf8(result.err).contains(expected), result.err.constData());
    }

    void badInputFails_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::newRow("not UTF-8") << QStringList{u"--stats"_qs, u"latin1.txt"_qs} << 1;
        QTest::newRow("missing file") << QStringList{u"--dump"_qs, u"missing.txt"_qs} << 1;
        QTest::newRow("reviews of a file not UTF-8")
            << QStringList{u"--export-reviews"_qs, u"latin1.txt"_qs} << 1;
        QTest::newRow("reviews of a missing file")
            << QStringList{u"--export-reviews"_qs, u"missing.txt"_qs} << 1;
        QTest::newRow("no file") << QStringList{u"--dump"_qs} << 2;
        QTest::newRow("unknown option") << QStringList{u"--bogus"_qs, u"x"_qs} << 2;
        QTest::newRow("two files") << QStringList{u"--stats"_qs, u"a.txt"_qs, u"b.txt"_qs} << 2;
    }

    void badInputFails()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        writeDeck(u"latin1.txt"_qs, "===\ncaf\xe9");
        for (QString &argument : arguments)
            if (!argument.startsWith(u"--"))
                argument = m_home.filePath(argument);
        const Result result = run(arguments);
        QCOMPARE(result.status, status);
        QVERIFY(result.out.isEmpty());
        QVERIFY(!result.err.isEmpty());
    }

    // A report that does not reach its reader (here a full disk) is a failure, not a success.
    void unwritableReportFails_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::newRow("dump") << QStringList{u"--dump"_qs};
        QTest::newRow("stats") << QStringList{u"--stats"_qs};
        QTest::newRow("stats as JSON") << QStringList{u"--json"_qs, u"--stats"_qs};
        QTest::newRow("reviews") << QStringList{u"--export-reviews"_qs};
    }
    void unwritableReportFails()
    {
        QFETCH(QStringList, options);
        if (!QFileInfo::exists(u"/dev/full"_qs))
            QSKIP("no /dev/full here");
        const Result result = run(options << writeDeck(u"full.txt"_qs, "===\nQ\n---\nA\n"),
                                  u"en"_qs, u"/dev/full"_qs);
        QCOMPARE(result.status, 1);
        QVERIFY2(result.err.contains("cannot write the report"), result.err.constData());
    }

    // Texts as JSON strings, byte for byte: the escapes JSON needs, UTF-8 otherwise, and every
    // surrogate escaped on its own, so that a lone one stays representable.
    void dumpWritesTextsAsJsonStrings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("empty") << QString() << QByteArray("\"\"");
        QTest::newRow("quote and backslash")
            << u"say \"hi\" \\"_qs << QByteArray("\"say \\\"hi\\\" \\\\\"");
        QTest::newRow("line ends and tab") << u"a\nb\r\tc"_qs << QByteArray("\"a\\nb\\r\\tc\"");
        QTest::newRow("other controls") << QString(QChar(1)) + QChar(0x1f) + QChar(0x7f)
                                        << QByteArray("\"\\u0001\\u001f\x7f\"");
        QTest::newRow("two bytes")
            << u"\u0080\u00e9\u07ff"_qs << QByteArray("\"\xc2\x80\xc3\xa9\xdf\xbf\"");
        QTest::newRow("three bytes")
            << u"\u0800\u6771\uffff"_qs << QByteArray("\"\xe0\xa0\x80\xe6\x9d\xb1\xef\xbf\xbf\"");
        QTest::newRow("surrogate pair") << u"\U0001F600"_qs << QByteArray("\"\\ud83d\\ude00\"");
        QTest::newRow("lone surrogates")
            << QString(QChar(0xd800)) + u'x' + QChar(0xdfff) << QByteArray("\"\\ud800x\\udfff\"");
    }
    void dumpWritesTextsAsJsonStrings()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, json);
        DataFile deck;
        deck.title = text;
        QCOMPARE(deckDumpJson(deck, QString()),
                 "{\"title\": " + json + ", \"progressFile\": \"\", \"cards\": []}\n");
    }

    // Dates as Qt writes an instant in ISO form with milliseconds in UTC, across the calendar:
    // before 1970, leap days, the first and last years of four digits and beyond them.
    void dumpWritesDatesAsQtDoes()
    {
        QList<QDateTime> dates = {
            QDateTime::fromMSecsSinceEpoch(0, Qt::UTC),
            QDateTime::fromMSecsSinceEpoch(-1, Qt::UTC),
            QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59, 999), Qt::UTC),
            QDateTime(QDate(2000, 2, 29), QTime(0, 0), Qt::UTC),
            QDateTime(QDate(1900, 3, 1), QTime(0, 0), Qt::UTC),
            QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC),
            QDateTime(QDate(999, 12, 31), QTime(12, 0), Qt::UTC),
            QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59, 999), Qt::UTC),
            QDateTime(QDate(10000, 1, 1), QTime(0, 0), Qt::UTC),
            QDateTime(QDate(-1, 12, 31), QTime(0, 0), Qt::UTC),
            QDateTime(QDate(2026, 3, 29), QTime(2, 30), QTimeZone("Europe/Berlin")),
        };
        QRandomGenerator random(13);
        const qint64 first = QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
        const qint64 last =
            QDateTime(QDate(9999, 12, 31), QTime(23, 59), Qt::UTC).toMSecsSinceEpoch();
        for (int i = 0; i < 2000; ++i)
            dates.append(QDateTime::fromMSecsSinceEpoch(random.bounded(first, last), Qt::UTC));
        DataFile deck;
        for (const QDateTime &date : std::as_const(dates)) {
            CardFace face(u"f"_qs);
            face.lastReview = date;
            deck.cards.append(Card({face}));
        }
        const QJsonArray cards =
            QJsonDocument::fromJson(deckDumpJson(deck, QString())).object()[u"cards"_qs].toArray();
        QCOMPARE(cards.size(), dates.size());
        for (qsizetype i = 0; i < dates.size(); ++i) {
            const QString written = cards[i][u"faces"_qs][0][u"lastReview"_qs].toString();
            QCOMPARE(written, dates[i].toUTC().toString(Qt::ISODateWithMs));
        }
    }

    // A named pipe where the progress file should be: reading it would block the report for
    // ever. The report goes on without saved progress.
    void namedPipeAsProgressFileDoesNotBlock()
    {
        const QString deck = writeDeck(u"piped.txt"_qs, "===\nQ\n");
        QVERIFY(QDir().mkpath(progressFolder()));
        QCOMPARE(
            ::mkfifo(QFile::encodeName(progressFolder() + u"/piped.plist"_qs).constData(), 0600),
            0);
        const Result result = run({u"--stats"_qs, deck});
        QCOMPARE(result.status, 0);
        QVERIFY2(result.out.contains("piped"), result.out.constData());
    }
};

QTEST_GUILESS_MAIN(TestDeckReport)
#include "test_deck_report.moc"
