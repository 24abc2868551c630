#include "core/study/markup.h"

#include <QElapsedTimer>
#include <QTest>

class TestMarkup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void forms_data();
    void forms();
    void longTextIsLinear();
};

void TestMarkup::forms_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("masked");
    QTest::addColumn<QString>("revealed");

    const QString bs = QStringLiteral("\\");
    const QString eAcute = QStringLiteral("e\u0301");
    const QString family = QString::fromUtf16(u"\U0001F468\u200D\U0001F469\u200D\U0001F467");
    const QString flags = QString::fromUtf16(u"\U0001F1EB\U0001F1F7\U0001F1E9\U0001F1EA");

    QTest::newRow("empty") << QString() << QString() << QString();
    QTest::newRow("no markup") << "plain text\n"
                               << "plain text\n"
                               << "plain text\n";
    QTest::newRow("passage") << "Paris is the capital of {France}."
                             << "Paris is the capital of ______."
                             << "Paris is the capital of France.";
    QTest::newRow("space inside") << "{a b}"
                                  << "___"
                                  << "a b";
    QTest::newRow("unclosed") << "x{ab"
                              << "x__"
                              << "xab";
    QTest::newRow("stray close") << "a}b"
                                 << "ab"
                                 << "ab";
    QTest::newRow("no nesting") << "{a{b}c}"
                                << "__c"
                                << "abc";
    QTest::newRow("escaped open") << bs + "{a}" << bs + "{a" << bs + "{a";
    QTest::newRow("escaped close inside") << "{a" + bs + "}b}"
                                          << "__}_"
                                          << "a" + bs + "}b";
    QTest::newRow("double backslash escapes")
        << bs + bs + "{a}" << bs + bs + "{a" << bs + bs + "{a";
    QTest::newRow("backslash before letter") << bs + "a{b}" << bs + "a_" << bs + "ab";
    QTest::newRow("lone open") << "{"
                               << ""
                               << "";
    QTest::newRow("lone close") << "}"
                                << ""
                                << "";
    QTest::newRow("empty passage") << "a{}b"
                                   << "ab"
                                   << "ab";
    QTest::newRow("two passages") << "{ab} and {c}"
                                  << "__ and _"
                                  << "ab and c";

    // Characters are user-perceived characters, each masked by one underscore.
    QTest::newRow("combining mark") << "{" + eAcute + "}"
                                    << "_" << eAcute;
    QTest::newRow("combining mark outside") << eAcute + "{x}" << eAcute + "_" << eAcute + "x";
    QTest::newRow("emoji zwj") << "{" + family + "!}"
                               << "__" << family + "!";
    QTest::newRow("flags") << "{" + flags + "}"
                           << "__" << flags;
    QTest::newRow("brace with combining mark is ordinary")
        << QStringLiteral("{\u0301a}") << QStringLiteral("{\u0301a") << QStringLiteral("{\u0301a");
    QTest::newRow("backslash with combining mark escapes nothing")
        << QStringLiteral("\\\u0301{a}") << QStringLiteral("\\\u0301_")
        << QStringLiteral("\\\u0301a");

    // A hidden line break joins the lines; CR LF is one character.
    QTest::newRow("hidden line break") << "{line one\nline two}\n"
                                       << QString(17, u'_') + "\n"
                                       << "line one\nline two\n";
    QTest::newRow("hidden CR LF") << "a{b\r\nc}d"
                                  << "a___d"
                                  << "ab\r\ncd";
    QTest::newRow("visible CR LF") << "a\r\n{b}"
                                   << "a\r\n_"
                                   << "a\r\nb";
}

void TestMarkup::forms()
{
    QFETCH(QString, text);
    QFETCH(QString, masked);
    QFETCH(QString, revealed);
    QCOMPARE(maskedText(text), masked);
    QCOMPARE(revealedText(text), revealed);
}

void TestMarkup::longTextIsLinear()
{
    // A quadratic walk would take minutes over four million characters.
    QString text;
    for (int i = 0; i < 100'000; ++i)
        text += QStringLiteral("word {hidden} \\{x\r\n");
    QElapsedTimer timer;
    timer.start();
    const QString masked = maskedText(text);
    const QString revealed = revealedText(text);
    QVERIFY2(timer.elapsed() < 20'000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(masked.size(),
             qsizetype(100'000) * qsizetype(QStringLiteral("word ______ \\{x\r\n").size()));
    QCOMPARE(revealed.size(),
             qsizetype(100'000) * qsizetype(QStringLiteral("word hidden \\{x\r\n").size()));
}

QTEST_GUILESS_MAIN(TestMarkup)
#include "test_markup.moc"
