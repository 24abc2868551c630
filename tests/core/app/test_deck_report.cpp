#include "core/model/flashcard_reader.h"
#include "core/store/deck_loader.h"
#include "core/store/progress_store.h"

#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The read-only command line: memoranth --stats FILE and memoranth --dump FILE.
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

    Result run(const QStringList &arguments)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
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
        QVERIFY(!saveProgress(QUrl::fromLocalFile(deck), saved.cards, progressFolder()));

        const Result result = run({u"--dump"_qs, deck});
        QCOMPARE(result.status, 0);
        const QString expected =
            u"{\"title\": \"greek.cards\", \"progressFile\": \"%1/greek.cards.plist\", \"cards\": "
            u"[{\"cardID\": 0, \"faces\": [{\"cardFaceID\": 0, \"text\": \"α \\\"quoted\\\"\\n\", "
            u"\"rating\": 0, \"progress\": \"new\", \"key\": \"%2\"}, {\"cardFaceID\": 1, "
            u"\"text\": "
            u"\"alpha\\n\\n\", \"rating\": 2, \"progress\": \"mastered\", \"key\": \"%3\"}]}]}\n"_qs
                .arg(progressFolder(), faceKey(u"α \"quoted\"\n"), faceKey(u"alpha\n\n"));
        QCOMPARE(QString::fromUtf8(result.out), expected);
        QVERIFY(!QJsonDocument::fromJson(result.out).isNull());
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

    void helpAndVersion_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("expected");
        QTest::newRow("--help") << u"--help"_qs << u"Usage: memoranth [FILE]\n"_qs;
        QTest::newRow("-h") << u"-h"_qs << u"  --dump FILE "_qs;
        QTest::newRow("--version") << u"--version"_qs << u"Memoranth " MEMORANTH_VERSION "\n"_qs;
        QTest::newRow("-v") << u"-v"_qs << u"Memoranth "_qs;
    }

    void helpAndVersion()
    {
        QFETCH(QString, option);
        QFETCH(QString, expected);
        const Result result = run({option});
        QCOMPARE(result.status, 0);
        QVERIFY2(QString::fromUtf8(result.out).contains(expected), result.out.constData());
        QVERIFY(result.err.isEmpty());
    }

    void badInputFails_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::newRow("not UTF-8") << QStringList{u"--stats"_qs, u"latin1.txt"_qs} << 1;
        QTest::newRow("missing file") << QStringList{u"--dump"_qs, u"missing.txt"_qs} << 1;
        QTest::newRow("no file") << QStringList{u"--dump"_qs} << 2;
        QTest::newRow("unknown option") << QStringList{u"--bogus"_qs, u"x"_qs} << 2;
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
};

QTEST_GUILESS_MAIN(TestDeckReport)
#include "test_deck_report.moc"
