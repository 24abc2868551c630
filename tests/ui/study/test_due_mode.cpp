#include "core/app/due_session.h"
#include "ui/study/study_host.h"

#include <QLabel>
#include <QLocale>
#include <QScrollArea>

// A position in the deck: card and face.
using Pos = std::pair<qsizetype, qsizetype>;

class TestDueMode : public QObject
{
    Q_OBJECT

    std::unique_ptr<StudyHost> host;
    std::unique_ptr<DueSession> session;
    QDateTime now;

    void start(const QString &deck)
    {
        host = std::make_unique<StudyHost>(deck);
        now = QDateTime(QDate(2026, 3, 10), QTime(10, 0), Qt::UTC);
        host->coordinator->setClock([this] { return now; });
        session = std::make_unique<DueSession>(*host->coordinator);
        host->view->setDueSession(session.get());
        QVERIFY(host->show());
    }
    Pos at() const { return {host->view->selectedCard().value_or(-1), host->view->currentFace()}; }
    QLabel *nothingDue() const
    {
        return host->view->findChild<QLabel *>(QStringLiteral("nothingDueMessage"));
    }

private Q_SLOTS:
    void cleanup()
    {
        host.reset();
        session.reset();
    }

    // 1 to 4 review with their grades in the Due mode and do nothing in order.
    void gradeKeysActOnlyInDueMode_data()
    {
        QTest::addColumn<bool>("due");
        QTest::addColumn<int>("grade");
        for (const bool due : {false, true})
            for (int grade = 1; grade <= 4; ++grade)
                QTest::addRow("%s, %d", due ? "due" : "in order", grade) << due << grade;
    }
    void gradeKeysActOnlyInDueMode()
    {
        QFETCH(bool, due);
        QFETCH(int, grade);
        start(QStringLiteral("=== one\nAlpha\n---\nBeta\n"));
        if (due)
            session->setMode(StudyMode::Due);
        host->key(Qt::Key(Qt::Key_0 + grade));
        const CardFace &face = host->deckFace(0, 0);
        if (!due) {
            QVERIFY(!face.memory);
            QCOMPARE(face.rating, 0);
            return;
        }
        QVERIFY(face.memory);
        // A first review's stability is the grade's initial weight.
        QCOMPARE(face.memory->stability, defaultFsrsWeights[std::size_t(grade - 1)]);
        QCOMPARE(face.rating, grade == 1 ? 0 : 1);
    }

    // Each review moves on to the next face of the queue: steps first, then the new faces in
    // file order, two faces of one card not one after the other while others wait.
    void reviewsFollowTheDueOrder()
    {
        start(QStringLiteral("=== one\nAlpha\n---\nBeta\n=== two\nGamma\n=== three\nDelta\n"));
        session->setMode(StudyMode::Due);
        QCOMPARE(at(), Pos(0, 0));
        host->key(Qt::Key_C);
        QCOMPARE(at(), Pos(1, 0));
        host->key(Qt::Key_X);
        QCOMPARE(at(), Pos(0, 1));
        host->key(Qt::Key_4);
        QCOMPARE(at(), Pos(2, 0));
        // Two minutes on, the face answered Again has waited out its step and comes first.
        now = now.addSecs(120);
        host->key(Qt::Key_3);
        QCOMPARE(at(), Pos(1, 0));
        QVERIFY(host->active() && host->active()->isActive());
    }

    // Pass sets the face aside behind the others; in order it goes on to the next face.
    void passGoesToTheNextDueFace()
    {
        start(QStringLiteral("=== one\nAlpha\n---\nBeta\n=== two\nGamma\n"));
        host->key(Qt::Key_Space);
        QCOMPARE(at(), Pos(0, 1));
        session->setMode(StudyMode::Due);
        QCOMPARE(at(), Pos(0, 0));
        host->key(Qt::Key_Space);
        QCOMPARE(at(), Pos(1, 0));
        host->key(Qt::Key_Space);
        QCOMPARE(at(), Pos(0, 1));
        host->key(Qt::Key_Space);
        QCOMPARE(at(), Pos(0, 0));
    }

    // While a big deck's queue is being built the view does not claim that nothing is due; the
    // face comes when the queue is ready.
    void aQueueStillBeingBuiltIsNotNothingDue()
    {
        start(QStringLiteral("=== one\nAlpha\n=== two\nBeta\n"));
        session->setMode(StudyMode::Due);
        session->setBackgroundFrom(0);
        host->coordinator->open(host->coordinator->activeFile());
        // The view takes the new deck before the build's result is taken, however fast it is.
        QCoreApplication::sendPostedEvents(host->view);
        QVERIFY(session->isBuilding());
        QVERIFY(nothingDue()->isVisible());
        QCOMPARE(nothingDue()->text(), u"Finding the faces that are due…"_qs);
        QTRY_VERIFY(!nothingDue()->isVisible());
        QCOMPARE(at(), Pos(0, 0));
    }

    // When nothing is left the view says when the next face is due and what the day brought;
    // a face falling due brings the faces back.
    void nothingLeftTellsTheNextDueTimeAndTheDay()
    {
        start(QStringLiteral("=== one\nAlpha\n=== two\nBeta\n"));
        SchedulerParameters parameters;
        parameters.newFacesPerDay = 2;
        host->coordinator->setSchedulerParameters(parameters);
        session->setMode(StudyMode::Due);
        QVERIFY(!nothingDue()->isVisible());
        host->key(Qt::Key_1);
        host->key(Qt::Key_C);
        QVERIFY(nothingDue()->isVisible());
        QVERIFY(!named<QScrollArea>(host->view, u"facesScrollArea"_qs)->isVisible());
        QVERIFY(!host->active());
        const QString text = nothingDue()->text();
        QVERIFY2(text.startsWith(u"Nothing is left to study for now."), qPrintable(text));
        // The face answered Again, a minute after its review.
        const QTime next = now.addSecs(60).toLocalTime().time();
        QVERIFY2(text.contains(QStringLiteral("due at ") +
                               QLocale().toString(next, QLocale::ShortFormat)),
                 qPrintable(text));
        QVERIFY2(text.endsWith(u"Today: 2 reviewed, 50 % correct, 2 new."), qPrintable(text));
        // Keys do nothing to the faces behind the message.
        host->key(Qt::Key_C);
        QCOMPARE(session->reviewsToday().reviewed, 2);

        now = now.addSecs(61);
        session->refresh();
        QVERIFY(!nothingDue()->isVisible());
        QCOMPARE(at(), Pos(0, 0));
        QVERIFY(host->active());
    }

    // Undoing the last review brings its face back to study.
    void undoBringsTheFaceBack()
    {
        start(QStringLiteral("=== one\nAlpha\n"));
        session->setMode(StudyMode::Due);
        host->key(Qt::Key_3);
        QVERIFY(nothingDue()->isVisible());
        QVERIFY(host->coordinator->undo());
        QTRY_VERIFY(!nothingDue()->isVisible());
        QCOMPARE(at(), Pos(0, 0));
        QVERIFY(host->active());
    }

    // Choosing a card in the browser shows it, even while nothing is due.
    void browsingLeavesTheMessage()
    {
        start(QStringLiteral("=== one\nAlpha\n=== two\nBeta\n"));
        SchedulerParameters parameters;
        parameters.newFacesPerDay = 0;
        host->coordinator->setSchedulerParameters(parameters);
        session->setMode(StudyMode::Due);
        QVERIFY(nothingDue()->isVisible());
        QVERIFY(nothingDue()->text().contains(u"Nothing reviewed today yet."));
        host->list->setCurrentRow(1);
        QVERIFY(!nothingDue()->isVisible());
        QCOMPARE(at(), Pos(1, 0));
        session->setMode(StudyMode::InOrder);
        QCOMPARE(at(), Pos(1, 0));
    }
};

QTEST_MAIN(TestDueMode)
#include "test_due_mode.moc"
