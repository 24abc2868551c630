#include "core/app/card_search.h"
#include "core/model/flashcard_reader.h"

#include <QElapsedTimer>
#include <QTest>

class TestCardSearch : public QObject
{
    Q_OBJECT

    const QList<Card> m_cards = readCards(u"=== Europe\n"
                                          "The capital of France is {Paris}.\n"
                                          "--- back\n"
                                          "It stands on the {Seine}.\n"
                                          "=== Été\n"
                                          "Quelle saison? L'{été}.\n"
                                          "=== Straße\n"
                                          "Ein Weg in der Stadt; braces stay \\{literal\\}.\n"
                                          "===\n"
                                          "capital\n"
                                          "---\n"
                                          "letters\n"_qs);

private Q_SLOTS:
    void findsCardsByCaptionAndText_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QList<int>>("cards");
        QTest::newRow("blank") << u"  "_qs << QList<int>{0, 1, 2, 3};
        QTest::newRow("caption") << u"europe"_qs << QList<int>{0};
        QTest::newRow("any case") << u"PARIS"_qs << QList<int>{0};
        QTest::newRow("hidden text, braces left out") << u"is Paris."_qs << QList<int>{0};
        QTest::newRow("second face") << u"seine"_qs << QList<int>{0};
        QTest::newRow("words anywhere, any order") << u"seine capital"_qs << QList<int>{0};
        QTest::newRow("every word needed") << u"capital letters"_qs << QList<int>{3};
        QTest::newRow("shared word") << u"capital"_qs << QList<int>{0, 3};
        QTest::newRow("accents ignored in the query") << u"ete"_qs << QList<int>{1};
        QTest::newRow("accents ignored in the text") << u"ÉTÉ"_qs << QList<int>{1};
        QTest::newRow("escaped braces are text") << u"{literal}"_qs << QList<int>{2};
        QTest::newRow("sharp s as written") << u"straße"_qs << QList<int>{2};
        QTest::newRow("no match") << u"tokyo"_qs << QList<int>{};
    }
    void findsCardsByCaptionAndText()
    {
        QFETCH(QString, query);
        QFETCH(QList<int>, cards);
        CardSearch search;
        QCOMPARE(search.matches(m_cards, query), cards);
    }

    // Typing narrows the previous matches; deleting or changing a word searches all again.
    void aQueryTypedLetterByLetterFindsWhatItWouldAlone()
    {
        CardSearch search;
        const QStringList typed{u"c"_qs,      u"ca"_qs,     u"cap"_qs,    u"cap l"_qs,
                                u"cap le"_qs, u"cap"_qs,    u"s"_qs,      u"st"_qs,
                                u"st e"_qs,   u"st ete"_qs, u"ete st"_qs, u"et"_qs};
        for (const QString &query : typed)
            QCOMPARE(search.matches(m_cards, query), CardSearch().matches(m_cards, query));
    }

    void anotherDeckIsSearchedAfterAReset()
    {
        CardSearch search;
        QCOMPARE(search.matches(m_cards, u"paris"_qs), QList<int>{0});
        search.reset();
        const QList<Card> other =
            readCards(u"=== one\nParis\n=== two\nRome\n=== three\nParis\n"_qs);
        QCOMPARE(search.matches(other, u"paris"_qs), (QList<int>{0, 2}));
    }
};

QTEST_APPLESS_MAIN(TestCardSearch)
#include "test_card_search.moc"
