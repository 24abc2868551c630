#include "core/store/reattachment.h"

#include <QTest>

using Texts = QList<ReattachText>;
using Pairs = QList<Reattached>;
Q_DECLARE_METATYPE(ReattachText)
Q_DECLARE_METATYPE(Reattached)

// Which edited face takes over which unclaimed record.
class TestReattachment : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rule_data()
    {
        QTest::addColumn<Texts>("faces");
        QTest::addColumn<Texts>("records");
        QTest::addColumn<Pairs>("expected");

        const QString capital = u"The capital of France is {Paris}.\n"_qs;
        QTest::newRow("typo fixed")
            << Texts{{capital, 4}} << Texts{{u"The capital of Frnace is {Paris}.\n"_qs, 4}}
            << Pairs{{0, 0}};
        QTest::newRow("reworded hint")
            << Texts{{u"Photosynthesis happens in the {chloroplast} (hint: green)\n"_qs, 1}}
            << Texts{{u"Photosynthesis happens in the {chloroplast} (a green hint)\n"_qs, 1}}
            << Pairs{{0, 0}};
        QTest::newRow("whitespace and line ends only")
            << Texts{{u"Si\n"_qs, 9}} << Texts{{u"Si  \r\n\n\n"_qs, 2}} << Pairs{{0, 0}};
        QTest::newRow("a short text edited stays new")
            << Texts{{u"Pari\n"_qs, 0}} << Texts{{u"Paris\n"_qs, 0}} << Pairs{};
        QTest::newRow("no word in common")
            << Texts{{u"abcdefghij\n"_qs, 0}} << Texts{{u"abcdefghik\n"_qs, 0}} << Pairs{};
        QTest::newRow("too different")
            << Texts{{u"The capital of Peru is {Lima}.\n"_qs, 0}}
            << Texts{{u"The largest city of Peru is {Lima}.\n"_qs, 0}} << Pairs{};
        QTest::newRow("two similar candidates: neither")
            << Texts{{u"The capital of Peru is {Lima}.\n"_qs, std::nullopt}}
            << Texts{{u"The capital of Peru is {Lime}.\n"_qs, 3},
                     {u"The capital of Peru is {Lima}!\n"_qs, 40}}
            << Pairs{};
        QTest::newRow("two similar candidates: the one beside the face")
            << Texts{{u"The capital of Peru is {Lima}.\n"_qs, 10}}
            << Texts{{u"The capital of Peru is {Lime}.\n"_qs, 40},
                     {u"The capital of Peru is {Lima}!\n"_qs, 11}}
            << Pairs{{0, 1}};
        QTest::newRow("the clearly nearer candidate")
            << Texts{{u"The capital of Peru is {Lima}.\n"_qs, 10}}
            << Texts{{u"The capital of Peru is {Lima}!\n"_qs, 90},
                     {u"The capital of Peru was {Cuzco}.\n"_qs, 10}}
            << Pairs{{0, 0}};
        QTest::newRow("a moved card with a typo fixed")
            << Texts{{capital, 700}} << Texts{{u"The capital of France is {Pariss}.\n"_qs, 3}}
            << Pairs{{0, 0}};
        QTest::newRow("a face split in two")
            << Texts{{u"Rivers of Europe: the Danube\n"_qs, 5},
                     {u"and the Rhine, both long\n"_qs, 6}}
            << Texts{{u"Rivers of Europe: the Danube\nand the Rhine, both long\n"_qs, 5}}
            << Pairs{};
        QTest::newRow("two faces want one record: neither")
            << Texts{{u"The capital of Peru is {Lima}.\n"_qs, std::nullopt},
                     {u"The capital of Peru is {Lima}!!\n"_qs, std::nullopt}}
            << Texts{{u"The capital of Peru is {Lima}!\n"_qs, std::nullopt}} << Pairs{};
        QTest::newRow("each record once")
            << Texts{{u"Spanish: tener, to have\n"_qs, 1}, {u"Spanish: poner, to put\n"_qs, 2}}
            << Texts{{u"Spanish: tener - to have\n"_qs, 1}, {u"Spanish: poner - to put\n"_qs, 2}}
            << Pairs{{0, 0}, {1, 1}};
    }

    void rule()
    {
        QFETCH(Texts, faces);
        QFETCH(Texts, records);
        QFETCH(Pairs, expected);
        QCOMPARE(reattach(faces, records), expected);
    }
};

QTEST_GUILESS_MAIN(TestReattachment)
#include "test_reattachment.moc"
