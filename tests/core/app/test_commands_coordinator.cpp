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

    static bool rate(CommandsCoordinator &coordinator, qsizetype card, qsizetype face, int rating,
                     CardFaceProgress progress)
    {
        CardFace changed = coordinator.dataFile()->cards.value(card).faces.value(face);
        changed.rating = qint8(rating);
        changed.progress = progress;
        return coordinator.setFace(card, face, changed);
    }

    // Whether the saved table holds exactly the rating and progress of every face of the deck.
    bool savedMatches(const QUrl &file, const DataFile &deck)
    {
        const ProgressTable table =
            readProgressTable(progressFileURL(file, m_progressFolder).toLocalFile());
        for (const Card &card : deck.cards) {
            for (const CardFace &face : card.faces) {
                if (table.value(faceDigest(face.text), SavedProgress{-1, {}}) !=
                    SavedProgress{face.rating, face.progress})
                    return false;
            }
        }
        return !table.isEmpty();
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

    void openThenClose_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("cards");
        QTest::newRow("deck") << deckText(3) << 3;
        QTest::newRow("empty file") << QByteArray() << 0;
    }
    void openThenClose()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, cards);
        const QUrl deck = makeDeck(QStringLiteral("capitals.cards.txt"), text);
        const auto coordinator = start();
        QSignalSpy state(coordinator.get(), &CommandsCoordinator::stateChanged);
        QSignalSpy file(coordinator.get(), &CommandsCoordinator::activeFileChanged);
        coordinator->open(deck);
        QCOMPARE(coordinator->state(), State::DeckOpen);
        QCOMPARE(coordinator->activeFile(), deck);
        QCOMPARE(coordinator->dataFile()->title, QStringLiteral("capitals.cards"));
        QCOMPARE(coordinator->dataFile()->cards.size(), cards);
        QCOMPARE(resolveBookmarkData(storedActiveFile().toByteArray())->url, deck);
        QCOMPARE(m_recent->files(), QList<QUrl>{deck});
        QCOMPARE(state.count(), 1);
        QCOMPARE(file.count(), 1);

        // Closing clears everything but the recent files.
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
        CaptureStdout output; // the recent files report the missing file's bookmark
        coordinator->open(file);
        output.text();
        QCOMPARE(coordinator->state(), State::UnreadableFile);
        QCOMPARE(coordinator->activeFile(), file);
        QVERIFY(!coordinator->dataFile());
        QCOMPARE(m_settings->contains(QStringLiteral("activeFile")), bookmarked);
        QCOMPARE(m_recent->files(), (QList<QUrl>{file, other}));
    }

    void reopeningReadsAgainAndMovesToFront()
    {
        const QUrl a = makeDeck(QStringLiteral("a.txt"), deckText(50));
        const QUrl b = makeDeck(QStringLiteral("b.txt"), deckText(1));
        const auto coordinator = start();
        coordinator->open(a);
        coordinator->open(b);
        coordinator->open(b);
        QCOMPARE(m_recent->files(), (QList<QUrl>{b, a}));
        QVERIFY(writeFile(a.toLocalFile(), deckText(55)));
        coordinator->open(a);
        QCOMPARE(coordinator->dataFile()->cards.size(), 55);
        QCOMPARE(m_recent->files(), (QList<QUrl>{a, b}));

        // Reopened at once after changes: the read must not overtake the pending save.
        for (int i = 0; i < 55; ++i)
            rate(*coordinator, i, 0, 3, CardFaceProgress::Mastered);
        coordinator->open(a);
        for (const Card &card : coordinator->dataFile()->cards)
            QCOMPARE(card.faces[0].rating, qint8(3));
    }

    // The file last open at the end of the previous run is opened again at start-up.
    void restore_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("unchanged") << "";
        QTest::newRow("moved") << "moved";
        QTest::newRow("deleted") << "deleted";
    }
    void restore()
    {
        QFETCH(QString, change);
        const QUrl a = makeDeck(QStringLiteral("a.txt"), deckText(2));
        QUrl b = makeDeck(QStringLiteral("b.txt"), deckText(4));
        {
            const auto coordinator = start();
            coordinator->open(b);
            coordinator->open(a);
            m_settings->setValue(QStringLiteral("activeFile"), *createBookmarkData(b));
        }
        const QVariant storedActive = storedActiveFile();
        const QVariant storedList = m_settings->value(QStringLiteral("recentFiles"));
        if (change == QStringLiteral("moved")) {
            const QUrl moved = QUrl::fromLocalFile(m_dir->filePath(QStringLiteral("moved.txt")));
            QVERIFY(QFile::rename(b.toLocalFile(), moved.toLocalFile()));
            b = moved;
        } else if (change == QStringLiteral("deleted")) {
            QVERIFY(QFile::remove(b.toLocalFile()));
        }
        const auto coordinator = start();
        QCOMPARE(m_recent->files().first(), a); // restoring does not move a file to the front
        if (change == QStringLiteral("deleted")) {
            QCOMPARE(coordinator->state(), State::NoFile);
            QCOMPARE(storedActiveFile(), storedActive); // kept for a later start
            return;
        }
        QCOMPARE(coordinator->activeFile(), b);
        QCOMPARE(coordinator->dataFile()->cards.size(), 4);
        const auto stored = resolveBookmarkData(storedActiveFile().toByteArray());
        QVERIFY(stored && stored->url == b && !stored->isStale);
        if (change.isEmpty())
            QCOMPARE(m_settings->value(QStringLiteral("recentFiles")), storedList);
    }

    void finerWritesSaveAndSignalOneCard()
    {
        const QUrl deck = makeDeck(QStringLiteral("deck.txt"), deckText(3));
        const auto coordinator = start();
        coordinator->open(deck);
        QSignalSpy cards(coordinator.get(), &CommandsCoordinator::cardChanged);
        QSignalSpy decks(coordinator.get(), &CommandsCoordinator::dataFileChanged);
        QVERIFY(rate(*coordinator, 1, 1, 2, CardFaceProgress::Learning));
        QVERIFY(!coordinator->setFace(1, 2, CardFace()));
        QVERIFY(!coordinator->setFace(3, 0, CardFace()));
        QVERIFY(!coordinator->setCard(-1, Card()));
        QCOMPARE(cards.count(), 1);
        QCOMPARE(cards.at(0).at(0).value<qsizetype>(), qsizetype(1));
        QCOMPARE(decks.count(), 0);
        coordinator->waitForPendingSaves();
        // What the next reading of the file sees.
        const DataFile reread =
            loadDataFile(QString::fromUtf8(deckText(3)), deck, m_progressFolder);
        QCOMPARE(reread.cards[1].faces[1].rating, qint8(2));
        QCOMPARE(reread.cards[1].faces[1].progress, CardFaceProgress::Learning);
    }

    // A thousand quick changes, mixed with whole replacements, and what follows at once.
    void lastChangeIsSaved_data()
    {
        QTest::addColumn<QString>("then");
        for (const char *then : {"wait", "open another", "close", "destroy"})
            QTest::newRow(then) << QString::fromLatin1(then);
    }
    void lastChangeIsSaved()
    {
        QFETCH(QString, then);
        const QUrl a = makeDeck(QStringLiteral("a.txt"), deckText(2000));
        const QUrl b = makeDeck(QStringLiteral("b.txt"), deckText(3, "B"));
        auto coordinator = start();
        coordinator->open(a);
        for (int i = 0; i < 1000; ++i) {
            rate(*coordinator, (i * 7) % 2000, i % 2, i % 4, allCardFaceProgresses[i % 5]);
            if (i % 100 == 0)
                coordinator->setDataFile(coordinator->dataFile());
        }
        const DataFile last = *coordinator->dataFile();
        if (then == QStringLiteral("destroy"))
            coordinator.reset();
        else if (then != QStringLiteral("wait"))
            coordinator->open(then == QStringLiteral("close") ? std::nullopt : std::optional(b));
        if (coordinator)
            coordinator->waitForPendingSaves();
        QVERIFY(savedMatches(a, last));
    }

    void deckWithoutActiveFileIsNotSaved()
    {
        const auto coordinator = start();
        coordinator->setDataFile(DataFile{QStringLiteral("loose"), readCards(u"===\nQ\n")});
        QCOMPARE(coordinator->state(), State::NoFile);
        QVERIFY(rate(*coordinator, 0, 0, 1, CardFaceProgress::Learning));
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
        CaptureStdout output;
        coordinator->open(deck);
        rate(*coordinator, 0, 0, 2, CardFaceProgress::Learning);
        coordinator->waitForPendingSaves();
        QVERIFY(!output.text().trimmed().isEmpty());
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
        QList<qint64> nanoseconds;
        for (int i = 0; i < 200; ++i) {
            QElapsedTimer timer;
            timer.start();
            rate(*coordinator, (qsizetype(i) * 4999) % cardCount, 0, 1, CardFaceProgress::Learning);
            nanoseconds.append(timer.nsecsElapsed());
            if (i % 20 == 0)
                QTest::qWait(5);
        }
        std::sort(nanoseconds.begin(), nanoseconds.end());
        QVERIFY2(nanoseconds[100] < 100'000, qPrintable(QString::number(nanoseconds[100])));
        coordinator->waitForPendingSaves();
        QVERIFY(savedMatches(deck, *coordinator->dataFile()));
    }

private:
    std::optional<QTemporaryDir> m_dir;
    std::optional<QSettings> m_settings;
    std::unique_ptr<RecentFiles> m_recent;
    QString m_progressFolder;
};

QTEST_GUILESS_MAIN(TestCommandsCoordinator)
#include "test_commands_coordinator.moc"
