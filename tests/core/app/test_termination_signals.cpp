#include "app_test_support.h"

#include "core/model/flashcard_reader.h"
#include "core/store/progress_store.h"

#include <QProcess>
#include <QSettings>
#include <QTest>

#include <csignal>

// A logout or a plain `kill` right after a rating: the process ends cleanly and the rating and
// the preferences are on disk, for both signals.
class TestTerminationSignals : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void ratingSurvivesTheSignal_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void ratingSurvivesTheSignal()
    {
        QFETCH(int, signal);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QUrl deck = makeFile(dir, QStringLiteral("deck.txt"), deckText(3000));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            environment.insert(QString::fromLatin1(name), dir.path());
        QProcess child;
        child.setProcessEnvironment(environment);
        child.start(QStringLiteral(QUIT_ON_SIGNAL_CHILD), {dir.path()});
        QVERIFY(child.waitForStarted());
        while (!child.canReadLine())
            QVERIFY2(child.waitForReadyRead(30'000), "the child never rated");
        QCOMPARE(child.readLine(), QByteArray("rated\n"));

        QCOMPARE(::kill(pid_t(child.processId()), signal), 0);
        QVERIFY(child.waitForFinished(30'000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);

        const ProgressTable table = readProgressTable(
            progressFileURL(deck, dir.filePath(QStringLiteral("progress"))).toLocalFile());
        QCOMPARE(table.value(faceDigest(QStringLiteral("Q0\n"))),
                 (SavedProgress{1, CardFaceProgress::Learning}));
        const QSettings preferences(dir.filePath(QStringLiteral("preferences.ini")),
                                    QSettings::IniFormat);
        QVERIFY(!preferences.value(QStringLiteral("activeFile")).toByteArray().isEmpty());
        QCOMPARE(preferences.value(QStringLiteral("recentFiles")).toList().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestTerminationSignals)
#include "test_termination_signals.moc"
