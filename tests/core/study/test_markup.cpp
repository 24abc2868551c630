#include "core/study/markup.h"

#include <QElapsedTimer>
#include <QTest>

class TestMarkup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void forms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("masked");
        QTest::addColumn<QString>("revealed");
        const auto row = [](const char *name, const QString &text, const QString &masked,
                            const QString &revealed) {
            QTest::newRow(name) << text << masked << revealed;
        };
        const QString eAcute = QStringLiteral("e\u0301");
        const QString family = QString::fromUtf16(u"\U0001F468\u200D\U0001F469\u200D\U0001F467");
        const QString flags = QString::fromUtf16(u"\U0001F1EB\U0001F1F7\U0001F1E9\U0001F1EA");

        row("empty", "", "", "");
        row("no markup", "plain text\n", "plain text\n", "plain text\n");
        row("passage", "capital of {France}.", "capital of ______.", "capital of France.");
        row("space inside", "{a b}", "___", "a b");
        row("two passages", "{ab} and {c}", "__ and _", "ab and c");
        row("unclosed", "x{ab", "x__", "xab");
        row("stray close", "a}b", "ab", "ab");
        row("lone open", "{", "", "");
        row("lone close", "}", "", "");
        row("empty passage", "a{}b", "ab", "ab");
        row("no nesting", "{a{b}c}", "__c", "abc");
        row("escaped open", "\\{a}", "\\{a", "\\{a");
        row("escaped close inside", "{a\\}b}", "__}_", "a\\}b");
        row("double backslash escapes", "\\\\{a}", "\\\\{a", "\\\\{a");
        row("backslash before letter", "\\a{b}", "\\a_", "\\ab");

        // Characters are user-perceived characters, each masked by one underscore.
        row("combining mark", "{" + eAcute + "}", "_", eAcute);
        row("combining mark outside", eAcute + "{x}", eAcute + "_", eAcute + "x");
        row("emoji zwj", "{" + family + "!}", "__", family + "!");
        row("flags", "{" + flags + "}", "__", flags);
        row("brace with combining mark is ordinary", QStringLiteral("{\u0301a}"),
            QStringLiteral("{\u0301a"), QStringLiteral("{\u0301a"));
        // The bracket takes the script of the letter before it, and so the mark after it joins
        // it; a piece that starts at the bracket must not cut them apart.
        row("mark after a bracket", QStringLiteral("{a]\u1082}"), "__", QStringLiteral("a]\u1082"));
        row("backslash with combining mark escapes nothing", QStringLiteral("\\\u0301{a}"),
            QStringLiteral("\\\u0301_"), QStringLiteral("\\\u0301a"));

        // A hidden line break joins the lines; CR LF is one character.
        row("hidden line break", "{line one\nline two}\n", QString(17, u'_') + "\n",
            "line one\nline two\n");
        row("hidden CR LF", "a{b\r\nc}d", "a___d", "ab\r\ncd");
        row("visible CR LF", "a\r\n{b}", "a\r\n_", "a\r\nb");
    }
    void forms()
    {
        QFETCH(QString, text);
        QFETCH(QString, masked);
        QFETCH(QString, revealed);
        QCOMPARE(maskedText(text), masked);
        QCOMPARE(revealedText(text), revealed);
    }

    // Pieces of any size put together give the whole form, whatever characters the cuts fall
    // between: the state of a hidden passage and of a backslash carries over.
    void piecesMakeTheWholeForm_data() { forms_data(); }
    void piecesMakeTheWholeForm()
    {
        QFETCH(QString, text);
        QFETCH(QString, masked);
        QFETCH(QString, revealed);
        for (const qsizetype length : {1, 2, 3, 7}) {
            for (const qsizetype lines : {1, 100}) {
                MarkupPieces maskedPieces(text, MarkupPieces::Form::Masked);
                MarkupPieces revealedPieces(text, MarkupPieces::Form::Revealed);
                QString maskedWhole;
                QString revealedWhole;
                while (!maskedPieces.atEnd()) {
                    maskedWhole += maskedPieces.next(length, lines);
                    revealedWhole += revealedPieces.next(length, lines);
                    // Both forms cut the text at the same places.
                    QCOMPARE(revealedPieces.position(), maskedPieces.position());
                }
                QVERIFY(revealedPieces.atEnd());
                QCOMPARE(maskedWhole, masked);
                QCOMPARE(revealedWhole, revealed);
            }
        }
    }

    void pieceEnds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<int>("maxLines");
        QTest::addColumn<QString>("first");
        QTest::newRow("at a space near the end") << "one two three" << 9 << 10 << "one two ";
        QTest::newRow("at a line end before a space")
            << "one\ntwo three" << 10 << 10 << "one\ntwo ";
        QTest::newRow("at a line in the second half")
            << "abcdef\nghi jkl" << 12 << 10 << "abcdef\n";
        QTest::newRow("inside a word without a break") << "abcdefghij" << 4 << 10 << "abcd";
        QTest::newRow("after the last line allowed")
            << "a\u2028b\u2028c\u2028" << 100 << 2 << "a\u2028b\u2028";
        // A character longer than the length asked for is never cut.
        QTest::newRow("long character") << "e" + QString(300, QChar(0x0301)) + "x" << 5 << 10
                                        << "e" + QString(300, QChar(0x0301));
    }
    void pieceEnds()
    {
        QFETCH(QString, text);
        QFETCH(int, maxLength);
        QFETCH(int, maxLines);
        QFETCH(QString, first);
        MarkupPieces pieces(text, MarkupPieces::Form::Revealed);
        QCOMPARE(pieces.next(maxLength, maxLines), first);
    }

    void longTextIsLinear()
    {
        // A quadratic walk would take minutes over four million characters.
        const qsizetype lines = 100'000;
        const QString text = QStringLiteral("word {hidden} \\{x\r\n").repeated(lines);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(maskedText(text), QStringLiteral("word ______ \\{x\r\n").repeated(lines));
        QCOMPARE(revealedText(text), QStringLiteral("word hidden \\{x\r\n").repeated(lines));
        QVERIFY2(timer.elapsed() < 20'000, qPrintable(QString::number(timer.elapsed())));
    }
};

QTEST_GUILESS_MAIN(TestMarkup)
#include "test_markup.moc"
