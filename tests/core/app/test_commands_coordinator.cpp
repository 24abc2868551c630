#include "app_test_support.h"

#include "core/app/bookmark.h"
#include "core/app/commands_coordinator.h"
#include "core/app/recent_files.h"
#include "core/model/flashcard_reader.h"
#include "core/model/progress_store.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using State = CommandsCoordinator::State;

class TestCommandsCoordinator : public QObject
{
    Q_OBJECT

private:
    QUrl makeDeck(const QString &name, const QByteArray &text)
    {
        const QString path = m_dir->filePath(name);
        if (!writeFile(path, text))
            qFatal("cannot write %s", qPrintable(path));
        return QUrl::fromLocalFile(path);
    }

    // A coordinator as at a fresh start of the application over the test's folders.
    std::unique_ptr<CommandsCoordinator> start()
    {
        m_recent.reset();
        m_recent = std::make_unique<RecentFiles>(&*m_settings);
        return std::make_unique<CommandsCoordinator>(&*m_settings, m_progressFolder,
                                                     m_recent.get());
    }

    ProgressTable savedTable(const QUrl &deck)
    {
        return readProgressTable(progressFileURL(deck, m_progressFolder).toLocalFile());
    }

    // Whether the saved table holds exactly the rating and progress of every face of the deck.
    static bool tableMatches(const ProgressTable &table, const DataFile &deck)
    {
        for (const Card &card : deck.cards) {
            for (const CardFace &face : card.faces) {
                if (table.value(faceDigest(face.text), SavedProgress{-1, {}}) !=
                    SavedProgress{face.rating, face.progress})
                    return false;
            }
        }
        return !table.isEmpty();
    }

    static CardFace rated(CardFace face, qint8 rating, CardFaceProgress progress)
    {
        face.rating = rating;
        face.progress = progress;
        return face;
    }

    QVariant storedActiveFile() { return m_settings->value(QStringLiteral("activeFile")); }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.emplace().isValid());
        m_settings.emplace(m_dir->filePath(QStringLiteral("preferences.ini")),
                           QSettings::IniFormat);
        m_progressFolder = m_dir->filePath(QStringLiteral("progress"));
        QVERIFY(QDir().mkpath(m_progressFolder));
    }

    void cleanup()
    {
        m_recent.reset();
        m_settings.reset();
    }

    void openPublishesStoresAndAddsToRecentFiles()
    {
        const QUrl deck = makeDeck(QStringLiteral("capitals.cards.txt"), deckText(3));
        const auto coordinator = start();
        QSignalSpy state(coordinator.get(), &CommandsCoordinator::stateChanged);
        QSignalSpy file(coordinator.get(), &CommandsCoordinator::activeFileChanged);
        coordinator->open(deck);
        QCOMPARE(coordinator->state(), State::DeckOpen);
        QCOMPARE(coordinator->activeFile(), deck);
        QCOMPARE(coordinator->dataFile()->title, QStringLiteral("capitals.cards"));
        QCOMPARE(coordinator->dataFile()->cards.size(), 3);
        QCOMPARE(resolveBookmarkData(storedActiveFile().toByteArray())->url, deck);
        QCOMPARE(m_recent->files(), QList<QUrl>{deck});
        QCOMPARE(state.count(), 1);
        QCOMPARE(file.count(), 1);
    }

    void closeClearsEverythingButRecentFiles()
    {
        const QUrl deck = makeDeck(QStringLiteral("deck.txt"), deckText(2));
        const auto coordinator = start();
        coordinator->open(deck);
        coordinator->open(std::nullopt);
        QCOMPARE(coordinator->state(), State::NoFile);
        QVERIFY(coordinator->activeFile().isEmpty());
        QVERIFY(!coordinator->dataFile());
        QVERIFY(!m_settings->contains(QStringLiteral("activeFile")));
        QCOMPARE(m_recent->files(), QList<QUrl>{deck});
    }

    void unreadableFileIsActiveWithoutDeck_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // empty: no file at all
        QTest::addColumn<bool>("bookmarked");
        QTest::newRow("missing") << QByteArray() << false;
        QTest::newRow("not UTF-8") << QByteArray("===\nQ\xff\xfe\n---\nA\n") << true;
    }
    void unreadableFileIsActiveWithoutDeck()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, bookmarked);
        const QUrl other = makeDeck(QStringLiteral("other.txt"), deckText(1));
        const QUrl file = bytes.isEmpty()
                              ? QUrl::fromLocalFile(m_dir->filePath(QStringLiteral("gone.txt")))
                              : makeDeck(QStringLiteral("binary.txt"), bytes);
        const auto coordinator = start();
        coordinator->open(other);
        StdoutCapture output; // the recent files report the missing file's bookmark
        coordinator->open(file);
        output.text();
        QCOMPARE(coordinator->state(), State::UnreadableFile);
        QCOMPARE(coordinator->activeFile(), file);
        QVERIFY(!coordinator->dataFile());
        QCOMPARE(m_settings->contains(QStringLiteral("activeFile")), bookmarked);
        QCOMPARE(m_recent->files(), (QList<QUrl>{file, other}));
    }

    void emptyFileIsDeckWithoutCards()
    {
        const QUrl deck = makeDeck(QStringLiteral("empty.txt"), QByteArray());
        const auto coordinator = start();
        coordinator->open(deck);
        QCOMPARE(coordinator->state(), State::DeckOpen);
        QVERIFY(coordinator->dataFile()->cards.isEmpty());
    }

    void reopeningReadsAgainAndMovesToFront()
    {
        const QUrl a = makeDeck(QStringLiteral("a.txt"), deckText(2));
        const QUrl b = makeDeck(QStringLiteral("b.txt"), deckText(1));
        const auto coordinator = start();
        coordinator->open(a);
        coordinator->open(b);
        coordinator->open(b);
        QCOMPARE(m_recent->files(), (QList<QUrl>{b, a}));
        QVERIFY(writeFile(a.toLocalFile(), deckText(5)));
        coordinator->open(a);
        QCOMPARE(coordinator->dataFile()->cards.size(), 5);
        QCOMPARE(m_recent->files(), (QList<QUrl>{a, b}));
    }

    void reopeningRightAfterAChangeKeepsTheChange()
    {
        const QUrl deck = makeDeck(QStringLiteral("deck.txt"), deckText(50));
        const auto coordinator = start();
        coordinator->open(deck);
        for (int i = 0; i < 50; ++i) {
            const CardFace face = coordinator->dataFile()->cards[i].faces[0];
            coordinator->setFace(i, 0, rated(face, 3, CardFaceProgress::Mastered));
        }
        coordinator->open(deck); // no wait: the read must not overtake the pending save
        for (const Card &card : coordinator->dataFile()->cards)
            QCOMPARE(card.faces[0].rating, qint8(3));
    }

    void restoreReopensWithoutTouchingRecentFiles()
    {
        const QUrl a = makeDeck(QStringLiteral("a.txt"), deckText(2));
        const QUrl b = makeDeck(QStringLiteral("b.txt"), deckText(4));
        {
            const auto coordinator = start();
            coordinator->open(b);
            coordinator->open(a);
            m_settings->setValue(QStringLiteral("activeFile"), *createBookmarkData(b));
        }
        const QVariant storedList = m_settings->value(QStringLiteral("recentFiles"));
        const auto coordinator = start();
        QCOMPARE(coordinator->state(), State::DeckOpen);
        QCOMPARE(coordinator->activeFile(), b);
        QCOMPARE(coordinator->dataFile()->cards.size(), 4);
        QCOMPARE(m_recent->files(), (QList<QUrl>{a, b}));
        QCOMPARE(m_settings->value(QStringLiteral("recentFiles")), storedList);
    }

    void restoreFollowsAMovedFile()
    {
        const QUrl deck = makeDeck(QStringLiteral("deck.txt"), deckText(3));
        start()->open(deck);
        const QString moved = m_dir->filePath(QStringLiteral("moved.txt"));
        QVERIFY(QFile::rename(deck.toLocalFile(), moved));

        const auto coordinator = start();
        QCOMPARE(coordinator->activeFile(), QUrl::fromLocalFile(moved));
        QCOMPARE(coordinator->dataFile()->cards.size(), 3);
        const auto stored = resolveBookmarkData(storedActiveFile().toByteArray());
        QCOMPARE(stored->url, QUrl::fromLocalFile(moved));
        QVERIFY(!stored->isStale);
    }

    void restoreOfUnresolvableBookmarkKeepsTheEntry()
    {
        const QUrl deck = makeDeck(QStringLiteral("deck.txt"), deckText(3));
        start()->open(deck);
        const QVariant stored = storedActiveFile();
        QVERIFY(QFile::remove(deck.toLocalFile()));
        const auto coordinator = start();
        QCOMPARE(coordinator->state(), State::NoFile);
        QCOMPARE(storedActiveFile(), stored);
    }

    void finerWritesSaveAndSignalOneCard()
    {
        const QUrl deck = makeDeck(QStringLiteral("deck.txt"), deckText(3));
        const auto coordinator = start();
        coordinator->open(deck);
        QSignalSpy cards(coordinator.get(), &CommandsCoordinator::cardChanged);
        QSignalSpy decks(coordinator.get(), &CommandsCoordinator::dataFileChanged);
        const CardFace face = coordinator->dataFile()->cards[1].faces[1];
        QVERIFY(coordinator->setFace(1, 1, rated(face, 2, CardFaceProgress::Learning)));
        QVERIFY(!coordinator->setFace(1, 2, face));
        QVERIFY(!coordinator->setFace(3, 0, face));
        QVERIFY(!coordinator->setCard(-1, Card()));
        QCOMPARE(cards.count(), 1);
        QCOMPARE(cards.at(0).at(0).value<qsizetype>(), qsizetype(1));
        QCOMPARE(decks.count(), 0);
        coordinator->waitForPendingSaves();
        QVERIFY(tableMatches(savedTable(deck), *coordinator->dataFile()));
        // What the next reading of the file sees.
        const DataFile reread =
            loadDataFile(QString::fromUtf8(deckText(3)), deck, m_progressFolder);
        QCOMPARE(reread.cards[1].faces[1].rating, qint8(2));
        QCOMPARE(reread.cards[1].faces[1].progress, CardFaceProgress::Learning);
    }

    void thousandQuickChangesLeaveTheLastDeck()
    {
        const QUrl deck = makeDeck(QStringLiteral("deck.txt"), deckText(200));
        const auto coordinator = start();
        coordinator->open(deck);
        for (int i = 0; i < 1000; ++i) {
            const qsizetype card = (i * 7) % 200;
            const CardFace face = coordinator->dataFile()->cards[card].faces[i % 2];
            coordinator->setFace(card, i % 2,
                                 rated(face, qint8(i % 4), allCardFaceProgresses[i % 5]));
            if (i % 100 == 0) // whole replacements are part of the same stream
                coordinator->setDataFile(coordinator->dataFile());
        }
        coordinator->waitForPendingSaves();
        QVERIFY(tableMatches(savedTable(deck), *coordinator->dataFile()));
    }

    void pendingSaveSurvivesOpeningAnotherFileOrClosing_data()
    {
        QTest::addColumn<bool>("close");
        QTest::newRow("open another") << false;
        QTest::newRow("close") << true;
    }
    void pendingSaveSurvivesOpeningAnotherFileOrClosing()
    {
        QFETCH(bool, close);
        const QUrl a = makeDeck(QStringLiteral("a.txt"), deckText(2000));
        const QUrl b = makeDeck(QStringLiteral("b.txt"), deckText(3, "B"));
        const auto coordinator = start();
        coordinator->open(a);
        for (int card = 0; card < 2000; card += 97) {
            const CardFace face = coordinator->dataFile()->cards[card].faces[0];
            coordinator->setFace(card, 0, rated(face, 1, CardFaceProgress::Learning));
        }
        const DataFile last = *coordinator->dataFile();
        coordinator->open(close ? std::nullopt : std::optional(b));
        coordinator->waitForPendingSaves();
        QVERIFY(tableMatches(savedTable(a), last));
    }

    void saveScheduledBeforeDestructionIsWritten()
    {
        const QUrl deck = makeDeck(QStringLiteral("deck.txt"), deckText(2000));
        DataFile last;
        {
            const auto coordinator = start();
            coordinator->open(deck);
            const CardFace face = coordinator->dataFile()->cards[1999].faces[1];
            coordinator->setFace(1999, 1, rated(face, 3, CardFaceProgress::Archived));
            last = *coordinator->dataFile();
        }
        QVERIFY(tableMatches(savedTable(deck), last));
    }

    void deckWithoutActiveFileIsNotSaved()
    {
        const auto coordinator = start();
        DataFile deck{QStringLiteral("loose"), readCards(QString::fromUtf8(deckText(2)))};
        coordinator->setDataFile(deck);
        QCOMPARE(coordinator->state(), State::NoFile);
        QVERIFY(coordinator->setFace(0, 0,
                                     rated(deck.cards[0].faces[0], 1, CardFaceProgress::Learning)));
        coordinator->waitForPendingSaves();
        QVERIFY(QDir(m_progressFolder).isEmpty());
    }

    void failedSaveIsPrintedAndKeepsTheDeck()
    {
        // A regular file where the progress folder should be: every write fails.
        QVERIFY(QDir(m_progressFolder).removeRecursively());
        QVERIFY(writeFile(m_progressFolder, "not a folder"));
        const QUrl deck = makeDeck(QStringLiteral("deck.txt"), deckText(2));
        const auto coordinator = start();
        StdoutCapture output;
        coordinator->open(deck);
        const CardFace face = coordinator->dataFile()->cards[0].faces[0];
        coordinator->setFace(0, 0, rated(face, 2, CardFaceProgress::Learning));
        coordinator->waitForPendingSaves();
        const QByteArray printed = output.text().toUtf8();
        QVERIFY2(printed.count('\n') >= 1 && !printed.trimmed().isEmpty(), printed.constData());
        QCOMPARE(coordinator->dataFile()->cards[0].faces[0].rating, qint8(2));
    }

    // Not a strict benchmark: a rating change must not copy a large deck on the caller's
    // thread, even while the saver is busy writing it.
    void ratingChangeOnLargeDeckIsCheap()
    {
        const int cardCount = 100000;
        const QUrl deck = makeDeck(QStringLiteral("large.txt"), deckText(cardCount));
        const auto coordinator = start();
        coordinator->open(deck);
        QCOMPARE(coordinator->dataFile()->cards.size(), cardCount);
        QList<qint64> nanoseconds;
        for (int i = 0; i < 200; ++i) {
            const qsizetype card = (qsizetype(i) * 4999) % cardCount;
            const CardFace face =
                rated(coordinator->dataFile()->cards[card].faces[0], 1, CardFaceProgress::Learning);
            QElapsedTimer timer;
            timer.start();
            coordinator->setFace(card, 0, face);
            nanoseconds.append(timer.nsecsElapsed());
            if (i % 20 == 0)
                QTest::qWait(5);
        }
        std::sort(nanoseconds.begin(), nanoseconds.end());
        const qint64 median = nanoseconds[nanoseconds.size() / 2];
        const qint64 p95 = nanoseconds[nanoseconds.size() * 95 / 100];
        qInfo("setFace on %d cards: median %lld ns, 95th percentile %lld ns, max %lld ns",
              cardCount, qlonglong(median), qlonglong(p95), qlonglong(nanoseconds.last()));
        QVERIFY(median < 100'000);
        coordinator->waitForPendingSaves();
        QVERIFY(tableMatches(savedTable(deck), *coordinator->dataFile()));
    }

private:
    std::optional<QTemporaryDir> m_dir;
    std::optional<QSettings> m_settings;
    std::unique_ptr<RecentFiles> m_recent;
    QString m_progressFolder;
};

QTEST_GUILESS_MAIN(TestCommandsCoordinator)
#include "test_commands_coordinator.moc"
