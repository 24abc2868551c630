#include "app_test_support.h"

#include "core/app/commands_coordinator.h"
#include "core/app/recent_files.h"
#include "core/store/progress_store.h"
#include "core/store/review_journal.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// Reading the open file again when it changes on disk, and undoing review changes.
class TestReloadAndUndo : public QObject
{
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    std::optional<QSettings> m_settings;
    std::unique_ptr<RecentFiles> m_recent;
    std::unique_ptr<CommandsCoordinator> m_coordinator;

    QUrl deck(const QString &name) const { return QUrl::fromLocalFile(m_dir->filePath(name)); }

    CommandsCoordinator &coordinator() { return *m_coordinator; }

    qint8 rating(qsizetype card, qsizetype face)
    {
        return coordinator().dataFile()->cards.at(card).faces.at(face).rating;
    }

    void rate(qsizetype card, qsizetype face, qint8 value)
    {
        CardFace changed = coordinator().dataFile()->cards.at(card).faces.at(face);
        changed.rating = value;
        changed.progress = CardFaceProgress::Learning;
        QVERIFY(coordinator().setFace(card, face, changed));
    }

    QString progressPath() const
    {
        return progressFileURL(deck(u"a.txt"_qs), m_dir->filePath(u"progress"_qs)).toLocalFile();
    }

    qint8 savedRating(const QString &text)
    {
        coordinator().waitForPendingSaves();
        return readProgressTable(progressPath()).value(faceDigest(text)).rating;
    }

    void setFaceProgress(qsizetype card, qsizetype face, CardFaceProgress progress)
    {
        CardFace changed = coordinator().dataFile()->cards.at(card).faces.at(face);
        changed.progress = progress;
        QVERIFY(coordinator().setFace(card, face, changed));
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.emplace().isValid());
        QVERIFY(QDir().mkpath(m_dir->filePath(u"progress"_qs)));
        m_settings.emplace(m_dir->filePath(u"preferences.ini"_qs), QSettings::IniFormat);
        m_recent = std::make_unique<RecentFiles>(&*m_settings);
        m_coordinator = std::make_unique<CommandsCoordinator>(
            &*m_settings, m_dir->filePath(u"progress"_qs), m_recent.get());
        QVERIFY(writeFile(deck(u"a.txt"_qs).toLocalFile(), deckText(3)));
        QVERIFY(writeFile(deck(u"b.txt"_qs).toLocalFile(), deckText(2, "B")));
    }

    void cleanup()
    {
        m_coordinator.reset();
        m_recent.reset();
        m_settings.reset();
        m_dir.reset();
    }

    void undoAndRedoReviewChanges()
    {
        coordinator().open(deck(u"a.txt"_qs));
        QVERIFY(!coordinator().canUndo());
        QSignalSpy history(&coordinator(), &CommandsCoordinator::historyChanged);
        rate(1, 0, 1);
        rate(1, 0, 2);
        QVERIFY(coordinator().canUndo() && !coordinator().canRedo());

        QVERIFY(coordinator().undo());
        QCOMPARE(rating(1, 0), 1);
        QCOMPARE(savedRating(u"Q1\n"_qs), 1);
        QVERIFY(coordinator().undo());
        QCOMPARE(rating(1, 0), 0);
        QCOMPARE(coordinator().dataFile()->cards[1].faces[0].progress, CardFaceProgress::New);
        QCOMPARE(savedRating(u"Q1\n"_qs), 0);
        QVERIFY(!coordinator().undo());

        QVERIFY(coordinator().redo());
        QCOMPARE(rating(1, 0), 1);
        // A new change forgets what could be redone.
        rate(2, 1, 3);
        QVERIFY(!coordinator().canRedo());
        QVERIFY(history.size() >= 5);

        // An unchanged record is no change to undo.
        const CardFace same = coordinator().dataFile()->cards[0].faces[0];
        QVERIFY(coordinator().setFace(0, 0, same));
        QVERIFY(coordinator().undo());
        QCOMPARE(rating(2, 1), 0);

        coordinator().open(deck(u"b.txt"_qs));
        QVERIFY(!coordinator().canUndo() && !coordinator().canRedo());
    }

    void everyChangeIsJournaledAndTheProgressFileRewrittenLater()
    {
        coordinator().setMinimumCompactionDelay(std::chrono::hours(1));
        coordinator().open(deck(u"a.txt"_qs));
        rate(1, 0, 1);
        setFaceProgress(1, 0, CardFaceProgress::Mastered);
        rate(1, 0, 0);
        QVERIFY(coordinator().undo());
        QVERIFY(coordinator().redo());
        // A review is journaled with its own grade, not one told from the rating.
        CardFace reviewed = coordinator().dataFile()->cards[1].faces[0];
        reviewed.rating = 1;
        QVERIFY(coordinator().reviewFace(1, 0, reviewed, Grade::Hard));
        QVERIFY(coordinator().waitForJournal());

        const QList<JournalRecord> records = readDeckJournal(progressPath()).records;
        QList<std::tuple<JournalChange, quint8, SchedulingState, qint8, CardFaceProgress>> seen;
        for (const JournalRecord &record : records) {
            QCOMPARE(record.face, faceDigest(u"Q1\n"));
            seen.append(
                {record.kind, record.grade, record.stateBefore, record.rating, record.progress});
        }
        using S = SchedulingState;
        using P = CardFaceProgress;
        QCOMPARE(seen, (decltype(seen){{JournalChange::Review, 3, S::New, 1, P::Learning},
                                       {JournalChange::Picker, 0, S::Learning, 1, P::Mastered},
                                       {JournalChange::Review, 1, S::Review, 0, P::Learning},
                                       {JournalChange::Undo, 0, S::Learning, 1, P::Mastered},
                                       {JournalChange::Redo, 0, S::Review, 0, P::Learning},
                                       {JournalChange::Review, 2, S::Learning, 1, P::Learning}}));
        // Not rewritten yet: the journal holds the changes. Closing the deck rewrites it.
        QVERIFY(!QFile::exists(progressPath()));
        coordinator().open(std::nullopt);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(progressPath()), 10000);
        QCOMPARE(readProgressTable(progressPath()).value(faceDigest(u"Q1\n")).rating, 1);
    }

    void reloadTakesTheJournalAndWaitsForNoRewrite()
    {
        coordinator().setMinimumCompactionDelay(std::chrono::hours(1));
        coordinator().open(deck(u"a.txt"_qs));
        rate(2, 1, 2);
        QVERIFY(replaceByRename(deck(u"a.txt"_qs).toLocalFile(), "===\nnew\n" + deckText(3)));
        coordinator().reloadActiveFile();
        QCOMPARE(coordinator().dataFile()->cards.size(), 4);
        QCOMPARE(rating(3, 1), 2);
        QVERIFY(!QFile::exists(progressPath()));
    }

    void aChangeTheJournalCannotTakeIsWaitedForAtReload()
    {
        coordinator().setMinimumCompactionDelay(std::chrono::hours(1));
        // A folder where the journal should be: no record can be appended.
        QVERIFY(QDir().mkpath(journalPath(progressPath(), journalMachineId())));
        coordinator().open(deck(u"a.txt"_qs));
        CaptureStdout output;
        rate(2, 1, 2);
        QVERIFY(!coordinator().waitForJournal());
        QVERIFY(output.text().contains(u"journal"_qs));
        QVERIFY(replaceByRename(deck(u"a.txt"_qs).toLocalFile(), "===\nnew\n" + deckText(3)));
        coordinator().reloadActiveFile();
        QCOMPARE(rating(3, 1), 2);
        const QString text = coordinator().dataFile()->cards[3].faces[1].text.toString();
        QCOMPARE(readProgressTable(progressPath()).value(faceDigest(text)).rating, 2);
    }

    void reloadsWhenTheFileChanges_data()
    {
        QTest::addColumn<bool>("byRename");
        QTest::newRow("written in place") << false;
        QTest::newRow("replaced through a rename") << true;
    }

    void reloadsWhenTheFileChanges()
    {
        QFETCH(bool, byRename);
        coordinator().open(deck(u"b.txt"_qs));
        coordinator().open(deck(u"a.txt"_qs));
        coordinator().open(deck(u"b.txt"_qs));
        coordinator().open(deck(u"a.txt"_qs));
        m_recent->remove(deck(u"a.txt"_qs));
        m_recent->add(deck(u"a.txt"_qs));
        m_recent->add(deck(u"b.txt"_qs));
        const QList<QUrl> recent = m_recent->files();
        rate(1, 1, 2);
        QSignalSpy changed(&coordinator(), &CommandsCoordinator::dataFileChanged);
        bool reloadingSeen = false;
        connect(&coordinator(), &CommandsCoordinator::dataFileChanged, this,
                [&] { reloadingSeen = coordinator().isReloading(); });

        // The first card is edited and a card is added; the second card is as it was.
        const QByteArray text = "===\nQ0 edited\n---\nA0\n" + deckText(3).mid(14) + "===\nQ3";
        const QString path = deck(u"a.txt"_qs).toLocalFile();
        QVERIFY(byRename ? replaceByRename(path, text) : writeFile(path, text));
        QTRY_COMPARE_WITH_TIMEOUT(coordinator().dataFile()->cards.size(), 4, 2000);
        QCOMPARE(changed.size(), 1);
        QVERIFY(reloadingSeen);
        QVERIFY(!coordinator().isReloading());
        QCOMPARE(coordinator().dataFile()->cards[0].faces[0].text.toString(), u"Q0 edited\n"_qs);
        QCOMPARE(rating(1, 1), 2);
        QCOMPARE(m_recent->files(), recent);
        QCOMPARE(coordinator().activeFile(), deck(u"a.txt"_qs));
    }

    void keepsTheDeckWhileTheFileIsGone()
    {
        coordinator().open(deck(u"a.txt"_qs));
        rate(0, 0, 1);
        QVERIFY(coordinator().canUndo());
        const QString path = deck(u"a.txt"_qs).toLocalFile();
        QVERIFY(QFile::remove(path));
        QTest::qWait(DeckFileWatcher::quietMilliseconds * 3);
        QCOMPARE(coordinator().state(), CommandsCoordinator::State::DeckOpen);
        QCOMPARE(coordinator().dataFile()->cards.size(), 3);

        QVERIFY(writeFile(path, "===\nQ0\n---\nother"));
        QTRY_COMPARE_WITH_TIMEOUT(coordinator().dataFile()->cards.size(), 1, 2000);
        QCOMPARE(rating(0, 0), 1);
        // The history survives a reload; a change whose face is gone is not applied elsewhere.
        QVERIFY(coordinator().undo());
        QCOMPARE(rating(0, 0), 0);
        QVERIFY(coordinator().redo());
        QVERIFY(writeFile(path, "===\nsomething else"));
        coordinator().reloadActiveFile();
        QVERIFY(!coordinator().undo());
        QVERIFY(!coordinator().canUndo());
        QCOMPARE(rating(0, 0), 0);
    }
};

QTEST_GUILESS_MAIN(TestReloadAndUndo)
#include "test_reload_and_undo.moc"
