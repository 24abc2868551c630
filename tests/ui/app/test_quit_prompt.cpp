#include "ui/app/window_test_support.h"

#include "core/store/progress_store.h"
#include "ui/app/main_window.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

// Closing the last window while progress cannot be saved asks what to do with it, and each
// answer does what it says.
class TestQuitPrompt : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowFixture> m_fixture;
    std::unique_ptr<MainWindow> m_window;
    QString m_blocker;
    int m_prompts = 0;

    CommandsCoordinator &coordinator() { return *m_fixture->coordinator; }

    // Hands the next modal dialog of type T, once it is shown, to respond.
    template <typename T> void whenShown(std::function<void(T *)> respond)
    {
        QTimer::singleShot(10, this, [this, respond] {
            if (auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget()))
                respond(dialog);
            else
                whenShown<T>(respond);
        });
    }

    // Answers the next prompt with the button of that text, then does `then`.
    void answer(const QString &button, std::function<void()> then = {})
    {
        whenShown<QMessageBox>([this, button, then](QMessageBox *box) {
            ++m_prompts;
            const QList<QAbstractButton *> buttons = box->buttons();
            const auto found = std::find_if(buttons.cbegin(), buttons.cend(), [&](auto *b) {
                return b->text().remove(u'&') == button;
            });
            if (found == buttons.cend())
                qFatal("no button %s", qPrintable(button));
            if (then)
                then();
            (*found)->click();
        });
    }

private Q_SLOTS:
    void init()
    {
        // A file stands where the progress folder's parent should be: every save fails.
        m_fixture = std::make_unique<WindowFixture>(QStringLiteral("blocked/progress"));
        m_blocker = m_fixture->path(QStringLiteral("blocked"));
        QVERIFY(QDir(m_blocker).removeRecursively());
        m_fixture->file(QStringLiteral("blocked"), "not a folder");
        coordinator().setRetryDelay(std::chrono::milliseconds(10));
        coordinator().open(m_fixture->deck(QStringLiteral("deck.txt"), 2));
        CardFace face = coordinator().dataFile()->cards[1].faces[0];
        face.rating = 3;
        QVERIFY(coordinator().setFace(1, 0, face));
        QVERIFY(!coordinator().waitForJournal());
        QVERIFY(coordinator().hasUnsavedProgress());
        m_prompts = 0;
        m_window = std::make_unique<MainWindow>(coordinator(), *m_fixture->recent);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void cleanup()
    {
        m_window.reset();
        m_fixture.reset();
    }

    void cancelKeepsTheWindowOpen()
    {
        answer(QStringLiteral("Cancel"));
        QVERIFY(!m_window->close());
        QVERIFY(m_window->isVisible());
        QCOMPARE(m_prompts, 1);
    }

    void quitAnywayClosesWithoutSaving()
    {
        answer(QStringLiteral("Quit Anyway"));
        QVERIFY(m_window->close());
        QCOMPARE(m_prompts, 1);
        QVERIFY(coordinator().hasUnsavedProgress());
    }

    void retryAsksAgainWhileSavesStillFail()
    {
        answer(QStringLiteral("Retry"), [this] { answer(QStringLiteral("Cancel")); });
        QVERIFY(!m_window->close());
        QCOMPARE(m_prompts, 2);
    }

    void retryClosesOnceTheProgressIsSaved()
    {
        answer(QStringLiteral("Retry"), [this] { QVERIFY(QFile::remove(m_blocker)); });
        QVERIFY(m_window->close());
        QCOMPARE(m_prompts, 1);
        QVERIFY(!coordinator().hasUnsavedProgress());
        QCOMPARE(readProgressTable(*coordinator().progressFilePath())
                     .value(faceDigest(u"Card 1 face 0\n"))
                     .rating,
                 3);
    }

    void saveElsewhereWritesACopyAndCloses()
    {
        const QString copy = m_fixture->path(QStringLiteral("copy.plist"));
        answer(QStringLiteral("Save Elsewhere..."), [this, copy] {
            whenShown<QFileDialog>([copy](QFileDialog *dialog) {
                dialog->selectFile(copy);
                static_cast<QDialog *>(dialog)->accept(); // as its Save button does
            });
        });
        QVERIFY(m_window->close());
        QCOMPARE(m_prompts, 1);
        QCOMPARE(readProgressTable(copy).value(faceDigest(u"Card 1 face 0\n")).rating, 3);
    }

    void saveElsewhereCancelledAsksAgain()
    {
        answer(QStringLiteral("Save Elsewhere..."), [this] {
            whenShown<QFileDialog>([this](QFileDialog *dialog) {
                answer(QStringLiteral("Cancel"));
                dialog->reject();
            });
        });
        QVERIFY(!m_window->close());
        QCOMPARE(m_prompts, 2);
    }
};

QTEST_MAIN(TestQuitPrompt)
#include "test_quit_prompt.moc"
