#include "core/app/progress_saver.h"
#include "core/model/flashcard_reader.h"

#include <QDir>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>

#include <memory>
#include <mutex>

namespace {

// One write the saver asked for: the file's URL and the first face's text of every card.
struct Write
{
    QUrl url;
    QStringList texts;
    friend bool operator==(const Write &, const Write &) = default;
};

QStringList textsOf(const QList<Card> &cards)
{
    QStringList texts;
    for (const Card &card : cards)
        texts << card.faces.first().text.toString();
    return texts;
}

// A writer that records every write and, while held, stops the worker inside the write until
// the test releases it: what the saver does meanwhile is then decided, not timed.
class HeldWriter
{
public:
    ProgressSaver::Writer writer()
    {
        return [this](const QUrl &url, const QList<Card> &cards, const FaceChanges &, QString *) {
            bool hold = false;
            {
                std::lock_guard lock(m_mutex);
                m_writes.append({url, textsOf(cards)});
                hold = m_holding;
            }
            if (hold) {
                m_entered.release();
                m_release.acquire();
            }
            return true;
        };
    }

    void hold()
    {
        std::lock_guard lock(m_mutex);
        m_holding = true;
    }
    // Waits until the worker is held inside a write.
    bool waitUntilHeld() { return m_entered.tryAcquire(1, 5000); }
    void release()
    {
        {
            std::lock_guard lock(m_mutex);
            m_holding = false;
        }
        m_release.release();
    }
    QList<Write> writes() const
    {
        std::lock_guard lock(m_mutex);
        return m_writes;
    }

private:
    mutable std::mutex m_mutex;
    bool m_holding = false;
    QList<Write> m_writes;
    QSemaphore m_entered;
    QSemaphore m_release;
};

// A writer that fails, as on a full disk, while told to.
class FailingWriter
{
public:
    ProgressSaver::Writer writer()
    {
        return [this](const QUrl &, const QList<Card> &cards, const FaceChanges &changes,
                      QString *error) {
            std::lock_guard lock(m_mutex);
            ++m_attempts;
            if (m_failing) {
                *error = u"No space left on device."_qs;
                return false;
            }
            m_written = textsOf(cards);
            m_changes.add(changes);
            return true;
        };
    }
    void setFailing(bool failing)
    {
        std::lock_guard lock(m_mutex);
        m_failing = failing;
    }
    int attempts() const
    {
        std::lock_guard lock(m_mutex);
        return m_attempts;
    }
    QStringList written() const
    {
        std::lock_guard lock(m_mutex);
        return m_written;
    }
    FaceChanges changes() const
    {
        std::lock_guard lock(m_mutex);
        return m_changes;
    }

private:
    mutable std::mutex m_mutex;
    bool m_failing = true;
    int m_attempts = 0;
    QStringList m_written;
    FaceChanges m_changes;
};

DataFile deck(const QString &text)
{
    return DataFile{QStringLiteral("deck"), readCards(text)};
}

bool setFirstFace(DataFile &file, const QString &text)
{
    file.cards[0].faces[0].text = FaceText(text);
    return true;
}

const QUrl blocker = QUrl::fromLocalFile(QStringLiteral("/decks/blocker.txt"));
const QUrl first = QUrl::fromLocalFile(QStringLiteral("/decks/first.txt"));
const QUrl second = QUrl::fromLocalFile(QStringLiteral("/decks/second.txt"));
// Another folder, the same title: the same progress file as `first`.
const QUrl firstElsewhere = QUrl::fromLocalFile(QStringLiteral("/other/first.md"));

} // namespace

Q_DECLARE_METATYPE(Write)

class TestProgressSaver : public QObject
{
    Q_OBJECT

    std::unique_ptr<HeldWriter> m_held;
    std::unique_ptr<ProgressSaver> m_saver;

    // Opens a deck whose save the worker is then held in.
    bool holdOnBlocker()
    {
        m_held->hold();
        m_saver->replaceDeck(blocker, deck(u"===\nblocker"_qs));
        return m_held->waitUntilHeld();
    }

private Q_SLOTS:
    void init()
    {
        m_held = std::make_unique<HeldWriter>();
        m_saver = std::make_unique<ProgressSaver>(m_held->writer());
    }
    void cleanup()
    {
        m_held->release();
        m_saver.reset();
        m_held.reset();
    }

    void replacedDeckKeepsItsLastState()
    {
        QVERIFY(holdOnBlocker());
        m_saver->replaceDeck(first, deck(u"===\nfirst 1"_qs));
        QVERIFY(m_saver->editDeck([](DataFile &d) { return setFirstFace(d, u"first 2"_qs); }));
        m_saver->replaceDeck(second, deck(u"===\nsecond"_qs));
        m_held->release();
        m_saver->waitForPendingSaves();
        QCOMPARE(m_held->writes(), (QList<Write>{{blocker, {u"blocker\n"_qs}},
                                                 {first, {u"first 2"_qs}},
                                                 {second, {u"second\n"_qs}}}));
    }

    void editsWhileHeldBecomeOneWriteOfTheNewestState()
    {
        QVERIFY(holdOnBlocker());
        m_saver->replaceDeck(first, deck(u"===\nfirst 1"_qs));
        for (const QString &text : {u"first 2"_qs, u"first 3"_qs})
            QVERIFY(m_saver->editDeck([&](DataFile &d) { return setFirstFace(d, text); }));
        QVERIFY(!m_saver->editDeck([](DataFile &) { return false; }));
        m_held->release();
        m_saver->waitForPendingSaves();
        QCOMPARE(m_held->writes(),
                 (QList<Write>{{blocker, {u"blocker\n"_qs}}, {first, {u"first 3"_qs}}}));
    }

    void aDeckOfTheSameProgressFileOvertakesAnUnchangedPendingState()
    {
        QVERIFY(holdOnBlocker());
        m_saver->replaceDeck(first, deck(u"===\nfirst"_qs));
        m_saver->replaceDeck(second, deck(u"===\nsecond"_qs));
        m_saver->replaceDeck(firstElsewhere, deck(u"===\nelsewhere"_qs));
        m_held->release();
        m_saver->waitForPendingSaves();
        // In the order first scheduled; the progress file of "first" gets the newest deck.
        QCOMPARE(m_held->writes(), (QList<Write>{{blocker, {u"blocker\n"_qs}},
                                                 {firstElsewhere, {u"elsewhere\n"_qs}},
                                                 {second, {u"second\n"_qs}}}));
    }

    void aReplacedDeckThatChangedFacesKeepsItsWrite()
    {
        QVERIFY(holdOnBlocker());
        m_saver->replaceDeck(first, deck(u"===\nfirst"_qs));
        QVERIFY(m_saver->editDeck([](DataFile &d, FaceChanges &changes) {
            changes.changed.insert(faceDigest(u"first 2"_qs));
            return setFirstFace(d, u"first 2"_qs);
        }));
        m_saver->replaceDeck(second, deck(u"===\nsecond"_qs));
        m_saver->replaceDeck(firstElsewhere, deck(u"===\nelsewhere"_qs));
        m_held->release();
        m_saver->waitForPendingSaves();
        // In order: a deck that shares the progress file of an earlier one does not take that
        // one's changes away, since saves merge.
        QCOMPARE(m_held->writes(), (QList<Write>{{blocker, {u"blocker\n"_qs}},
                                                 {first, {u"first 2"_qs}},
                                                 {second, {u"second\n"_qs}},
                                                 {firstElsewhere, {u"elsewhere\n"_qs}}}));
    }

    void waitingForOneFileWaitsForItsWriteOnly()
    {
        QVERIFY(holdOnBlocker());
        m_saver->replaceDeck(first, deck(u"===\nfirst"_qs));
        // Nothing of "second" is pending or running: no wait.
        m_saver->waitForPendingSave(second);
        QCOMPARE(m_held->writes().size(), 1);
        m_held->release();
        m_saver->waitForPendingSave(first);
        QCOMPARE(m_held->writes().last(), (Write{first, {u"first\n"_qs}}));
    }

    void aFailedSaveIsTriedAgainUntilItSucceeds()
    {
        FailingWriter failing;
        ProgressSaver saver(failing.writer());
        saver.setRetryDelay(std::chrono::milliseconds(1));
        std::atomic<int> told = 0;
        saver.setFailureListener([&] { ++told; });
        saver.replaceDeck(first, deck(u"===\nfirst 1"_qs));
        QVERIFY(saver.editDeck([](DataFile &d, FaceChanges &changes) {
            changes.changed.insert(faceDigest(u"first 2"_qs));
            return setFirstFace(d, u"first 2"_qs);
        }));
        // A wait tries once more and does not hang on a save that keeps failing.
        QVERIFY(!saver.waitForPendingSaves());
        QVERIFY(!saver.waitForPendingSave(first));
        QCOMPARE(saver.failure(), u"No space left on device."_qs);
        QCOMPARE(told, 1);
        QTRY_VERIFY(failing.attempts() >= 4);

        // Space is back: the retry writes the newest state with the changes of every failed try.
        failing.setFailing(false);
        QTRY_VERIFY(saver.failure().isEmpty());
        QCOMPARE(told, 2);
        QCOMPARE(failing.written(), QStringList{u"first 2"_qs});
        QVERIFY(failing.changes().contains(faceDigest(u"first 2"_qs)));
        QVERIFY(saver.waitForPendingSaves());
    }

    void aReplacedDeckKeepsItsFailedSave()
    {
        FailingWriter failing;
        ProgressSaver saver(failing.writer());
        saver.setRetryDelay(std::chrono::milliseconds(1));
        saver.replaceDeck(first, deck(u"===\nfirst 1"_qs));
        QVERIFY(saver.editDeck([](DataFile &d, FaceChanges &changes) {
            changes.changed.insert(faceDigest(u"first 2"_qs));
            return setFirstFace(d, u"first 2"_qs);
        }));
        QVERIFY(!saver.waitForPendingSaves());
        saver.replaceDeck(second, std::nullopt);
        failing.setFailing(false);
        QTRY_VERIFY(saver.failure().isEmpty());
        QCOMPARE(failing.written(), QStringList{u"first 2"_qs});
    }

    void aFailedJournalAppendIsAFailedSave()
    {
        QTemporaryDir dir;
        // Anything but a file where the journal belongs is refused.
        const QString journal = dir.filePath(u"first.journal"_qs);
        QVERIFY(QDir().mkpath(journal));
        FailingWriter writes;
        writes.setFailing(false);
        ProgressSaver saver(writes.writer());
        saver.setMinimumCompactionDelay(std::chrono::hours(1));
        saver.replaceDeck(first, deck(u"===\nfirst"_qs), journal);
        QVERIFY(saver.editDeck([](DataFile &d) { return setFirstFace(d, u"first 2"_qs); }));
        JournalRecord record;
        record.face = faceDigest(u"first 2"_qs);
        saver.journal(record);
        QVERIFY(!saver.waitForJournal());
        QVERIFY(saver.hasUnsavedChanges());
        QVERIFY(!saver.failure().isEmpty());
        QVERIFY(saver.unsavedChanges().contains(faceDigest(u"first 2"_qs)));

        // The progress file catches up with what the journal missed.
        QVERIFY(saver.waitForPendingSaves());
        QVERIFY(!saver.hasUnsavedChanges());
        QVERIFY(saver.failure().isEmpty());
        QVERIFY(writes.changes().contains(faceDigest(u"first 2"_qs)));
    }

    // A deck read from a progress file that needs no rewrite yet is written only when
    // something is owed after all.
    void aDeckThatChangedNothingIsWrittenOnlyWhenOwed_data()
    {
        QTest::addColumn<QString>("owed");
        QTest::addColumn<QList<Write>>("writes");
        const Write blocked{blocker, {u"blocker\n"_qs}};
        const Write elsewhere{firstElsewhere, {u"elsewhere\n"_qs}};
        QTest::newRow("nothing") << QString() << QList<Write>{blocked};
        QTest::newRow("the file was written since the reading")
            << u"written since"_qs << QList<Write>{blocked, elsewhere};
        QTest::newRow("the reading changed faces")
            << u"changes"_qs << QList<Write>{blocked, elsewhere};
        // Its write might mark records of the new deck as claimed by none.
        QTest::newRow("a save of the same file is pending")
            << u"pending"_qs << QList<Write>{blocked, elsewhere};
    }
    void aDeckThatChangedNothingIsWrittenOnlyWhenOwed()
    {
        QFETCH(QString, owed);
        QFETCH(QList<Write>, writes);
        QTemporaryDir dir;
        const QString progressFile = dir.filePath(u"first.plist"_qs);
        const auto write = [&](const QByteArray &bytes) {
            QFile file(progressFile);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QCOMPARE(file.write(bytes), bytes.size());
        };
        write("as read");
        const StampedFile read{progressFile, *fileStamp(progressFile)};
        m_saver->setMinimumCompactionDelay(ProgressSaver::Clock::duration::zero());
        QVERIFY(holdOnBlocker());
        if (owed == u"written since")
            write("written since the reading");
        if (owed == u"pending")
            m_saver->replaceDeck(first, deck(u"===\nfirst"_qs));
        FaceChanges changes;
        if (owed == u"changes")
            changes.changed.insert(faceDigest(u"elsewhere\n"_qs));
        m_saver->replaceDeck(firstElsewhere, deck(u"===\nelsewhere"_qs), {}, changes, read);
        m_held->release();
        QVERIFY(m_saver->waitForPendingSaves());
        QCOMPARE(m_held->writes(), writes);
    }

    // The first rewrite of a big progress file that a reading did not rewrite waits as long
    // as one after a rewrite of it would: no sooner than a few seconds after the first review.
    void aBigFileNotRewrittenAtItsReadingIsCompactedLater()
    {
        QTemporaryDir dir;
        const QString progressFile = dir.filePath(u"first.plist"_qs);
        QFile file(progressFile);
        // Sparse: as big as a deck of a million cards makes it, without the disk it takes.
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(qint64(700) << 20));
        file.close();
        m_saver->replaceDeck(first, deck(u"===\nfirst"_qs), {}, {},
                             StampedFile{progressFile, *fileStamp(progressFile)});
        QVERIFY(m_saver->compactionDelay() >= std::chrono::seconds(20));
        m_saver->replaceDeck(second, deck(u"===\nsecond"_qs));
        m_saver->waitForPendingSaves();
        QVERIFY(m_saver->compactionDelay() < std::chrono::seconds(20));
    }

    // A save copies the deck a stretch at a time: a change made while it copies never copies
    // the whole deck on the owner's thread, and the save writes the deck as it was when it
    // began, whatever changed meanwhile; the change goes with the next save.
    void changesWhileASaveCopiesTheDeck_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("copiesTheDeck");
        QTest::newRow("a card already copied") << "card 0" << false;
        QTest::newRow("a card not yet copied") << "card 4" << false;
        QTest::newRow("the same card twice") << "card 4 twice" << false;
        QTest::newRow("the whole deck") << "deck" << true;
        QTest::newRow("another deck") << "replace" << false;
    }
    void changesWhileASaveCopiesTheDeck()
    {
        QFETCH(QString, change);
        QFETCH(bool, copiesTheDeck);
        QSemaphore copying;
        QSemaphore goOn;
        m_saver->setMinimumCompactionDelay(ProgressSaver::Clock::duration::zero());
        m_saver->setCopyStretch(2, [&](qsizetype copied) {
            if (copied == 2) {
                copying.release();
                goOn.acquire();
            }
        });
        const QString text = u"===\nc0\n===\nc1\n===\nc2\n===\nc3\n===\nc4\n===\nc5\n"_qs;
        m_saver->replaceDeck(first, deck(text));
        // A failed check must not leave the worker held: the saver waits for it at its end.
        const auto letGo = qScopeGuard([&] { goOn.release(100); });
        QVERIFY(copying.tryAcquire(1, 5000));

        const Card *cards = m_saver->deck()->cards.constData();
        const auto edit = [&](qsizetype card, const QString &face) {
            return m_saver->editCard(card, [&](DataFile &d, FaceChanges &) {
                d.cards[card].faces[0].text = FaceText(face);
                return true;
            });
        };
        QStringList after = textsOf(deck(text).cards);
        if (change == u"card 0") {
            QVERIFY(edit(0, u"changed"_qs));
            after[0] = u"changed"_qs;
        } else if (change == u"card 4") {
            QVERIFY(edit(4, u"changed"_qs));
            after[4] = u"changed"_qs;
        } else if (change == u"card 4 twice") {
            QVERIFY(edit(4, u"changed"_qs));
            QVERIFY(edit(4, u"changed again"_qs));
            after[4] = u"changed again"_qs;
        } else if (change == u"deck") {
            QVERIFY(m_saver->editDeck([](DataFile &d) {
                d.cards[5].faces[0].text = FaceText(u"changed"_qs);
                d.cards.removeFirst();
                return true;
            }));
            after.removeFirst();
            after.last() = u"changed"_qs;
        } else {
            m_saver->replaceDeck(second, deck(u"===\nsecond"_qs));
        }
        if (change != u"replace")
            QCOMPARE(m_saver->deck()->cards.constData() == cards, !copiesTheDeck);

        goOn.release(100);
        m_saver->waitForPendingSaves();
        const QList<Write> writes = m_held->writes();
        QVERIFY(writes.size() == 2);
        QCOMPARE(writes[0], (Write{first, textsOf(deck(text).cards)}));
        if (change == u"replace")
            QCOMPARE(writes[1], (Write{second, {u"second\n"_qs}}));
        else
            QCOMPARE(writes[1], (Write{first, after}));
    }

    void destroyingWritesWhatIsPending()
    {
        QVERIFY(holdOnBlocker());
        m_saver->replaceDeck(first, deck(u"===\nfirst"_qs));
        // No URL or no deck: nothing to write.
        m_saver->replaceDeck(QUrl(), deck(u"===\nloose"_qs));
        m_saver->replaceDeck(second, std::nullopt);
        m_held->release();
        m_saver.reset();
        QCOMPARE(m_held->writes(),
                 (QList<Write>{{blocker, {u"blocker\n"_qs}}, {first, {u"first\n"_qs}}}));
    }
};

QTEST_GUILESS_MAIN(TestProgressSaver)
#include "test_progress_saver.moc"
