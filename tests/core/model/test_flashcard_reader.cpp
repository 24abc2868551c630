#include "core/model/deck_title.h"
#include "core/model/flashcard_reader.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using Faces = QList<QStringList>; // face texts, card by card

class TestFlashcardReader : public QObject
{
    Q_OBJECT

    static Faces facesOf(const QList<Card> &cards)
    {
        Faces result;
        for (const Card &card : cards) {
            QStringList texts;
            for (const CardFace &face : card.faces)
                texts << face.text.toString();
            result << texts;
        }
        return result;
    }

private Q_SLOTS:
    void cutsTextIntoCardsAndFaces_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Faces>("expected");

        QTest::newRow("worked example")
            << u"=== Geography\nWhat is the capital of France?\n---\nParis\n===\n===\n---\n2 + 2\n"
               u"---\n---\n4"_qs
            << Faces{{u"What is the capital of France?\n"_qs, u"Paris\n"_qs},
                     {u"2 + 2\n"_qs, QString(), u"4\n"_qs}};
        QTest::newRow("final line break is an empty last line")
            << u"===\nQ\n---\n4\n"_qs << Faces{{u"Q\n"_qs, u"4\n\n"_qs}};
        QTest::newRow("empty text") << QString() << Faces{};
        QTest::newRow("card marker alone") << u"==="_qs << Faces{};
        QTest::newRow("card marker and line break") << u"===\n"_qs << Faces{{u"\n"_qs}};
        QTest::newRow("card markers only") << u"===\n=== 2\n====="_qs << Faces{};
        QTest::newRow("first line empty") << u"\n===\nQ"_qs << Faces{};
        QTest::newRow("space before first marker") << u" ===\nQ\n===\nR"_qs << Faces{};
        QTest::newRow("first line is text") << u"hello\n===\nQ"_qs << Faces{};
        QTest::newRow("face marker right after card marker")
            << u"===\n---\nQ\n---\nA"_qs << Faces{{u"Q\n"_qs, u"A\n"_qs}};
        QTest::newRow("lines before first face marker")
            << u"===\nQ\n---\nA"_qs << Faces{{u"Q\n"_qs, u"A\n"_qs}};
        QTest::newRow("trailing face marker makes an empty face")
            << u"===\nQ\n---"_qs << Faces{{u"Q\n"_qs, QString()}};
        QTest::newRow("captions after markers are ignored")
            << u"=== Chapter 2\nQ\n--- back\nA\n=====\nB"_qs
            << Faces{{u"Q\n"_qs, u"A\n"_qs}, {u"B\n"_qs}};
        QTest::newRow("indented markers are text")
            << u"===\n ===\n ---\nx"_qs << Faces{{u" ===\n ---\nx\n"_qs}};
        QTest::newRow("accented and wide faces")
            << u"===\ncafé\n---\n日本\n---\nlast é"_qs
            << Faces{{u"café\n"_qs, u"日本\n"_qs, u"last é\n"_qs}};
        QTest::newRow("CR LF is two line ends") << u"===\r\nQ\r\n"_qs << Faces{{u"\nQ\n\n\n"_qs}};
        QTest::newRow("every line end character")
            << u"===\u000BQ\u000C---\u0085A\u2028B\u2029C\rD"_qs
            << Faces{{u"Q\n"_qs, u"A\nB\nC\nD\n"_qs}};
        QTest::newRow("line ends mixed within a face")
            << u"===\nQ\nR\rS\nT"_qs << Faces{{u"Q\nR\nS\nT\n"_qs}};
        QTest::newRow("spaces are kept") << u"===\n  Q  \n"_qs << Faces{{u"  Q  \n\n"_qs}};
        QTest::newRow("combining mark on a marker character")
            << u"===\nQ\n--\u0301-\nstill Q"_qs << Faces{{u"Q\n--\u0301-\nstill Q\n"_qs}};
        QTest::newRow("accent after the third marker character")
            << u"===\nQ\n---\u0301\nA"_qs << Faces{{u"Q\n---\u0301\nA\n"_qs}};
        QTest::newRow("byte-order mark is not part of the first line")
            << u"\uFEFF===\nQ\n---\nA"_qs << Faces{{u"Q\n"_qs, u"A\n"_qs}};
        QTest::newRow("Japanese") << u"=== 挨拶\nこんにちは\n---\nkonnichiwa"_qs
                                  << Faces{{u"こんにちは\n"_qs, u"konnichiwa\n"_qs}};
    }

    void cutsTextIntoCardsAndFaces()
    {
        QFETCH(QString, text);
        QFETCH(Faces, expected);
        const QList<Card> cards = readCards(text);
        QCOMPARE(facesOf(cards), expected);
        for (qsizetype c = 0; c < cards.size(); ++c) {
            QCOMPARE(cards[c].cardID, std::optional<qint64>(c));
            QCOMPARE(cards[c].progress, CardProgress::New);
            for (qsizetype f = 0; f < cards[c].faces.size(); ++f) {
                const CardFace &face = cards[c].faces[f];
                QCOMPARE(face.cardFaceID, std::optional<qint64>(f));
                QCOMPARE(face.rating, 0);
                QCOMPARE(face.progress, CardFaceProgress::New);
                QCOMPARE(face.progressRank, 0);
                QVERIFY(!face.lastReview && !face.nextReview);
            }
        }
    }

    // A text given in pieces, cut anywhere, gives the cards of the whole text.
    void piecesGiveTheCardsOfTheWholeText_data() { cutsTextIntoCardsAndFaces_data(); }
    void piecesGiveTheCardsOfTheWholeText()
    {
        QFETCH(QString, text);
        const QList<Card> whole = readCards(text);
        const auto captions = [](const QList<Card> &cards) {
            QStringList result;
            for (const Card &card : cards)
                result << card.caption;
            return result;
        };
        for (qsizetype cut = 0; cut <= text.size(); ++cut) {
            CardReader reader;
            reader.add(QStringView(text).first(cut));
            reader.add(QStringView(text).sliced(cut));
            const QList<Card> cards = reader.finish();
            QCOMPARE(facesOf(cards), facesOf(whole));
            QCOMPARE(captions(cards), captions(whole));
        }
        CardReader oneByOne;
        for (QChar c : text)
            oneByOne.add(QStringView(&c, 1));
        QCOMPARE(facesOf(oneByOne.finish()), facesOf(whole));
    }

    // The reader against the plainest reading of the format: cut into lines, then walk them.
    void agreesWithAPlainReadingOnRandomTexts()
    {
        const auto plainReading = [](const QString &text) {
            QStringList lines;
            QString line;
            for (QChar c : text) {
                if (QStringView(u"\n\u000B\u000C\r\u0085\u2028\u2029").contains(c)) {
                    lines << line;
                    line.clear();
                } else {
                    line += c;
                }
            }
            lines << line;
            Faces cards;
            if (!lines.first().startsWith(u"==="))
                return cards;
            QStringList faces;
            QString face;
            bool inFace = false;
            const auto endFace = [&] {
                if (inFace)
                    faces << face;
                face.clear();
                inFace = false;
            };
            for (const QString &l : lines.mid(1)) {
                if (l.startsWith(u"===")) {
                    endFace();
                    if (!faces.isEmpty())
                        cards << faces;
                    faces.clear();
                } else if (l.startsWith(u"---")) {
                    endFace();
                    inFace = true;
                } else {
                    face += l + u'\n';
                    inFace = true;
                }
            }
            endFace();
            if (!faces.isEmpty())
                cards << faces;
            return cards;
        };
        // Every line end, and the characters just beside them that end no line.
        const QStringList pieces = {
            u"==="_qs,    u"---"_qs,    u"a"_qs,
            u"bc"_qs,     u" "_qs,      u"\n"_qs,
            u"\n"_qs,     u"\r"_qs,     u"\r\n"_qs,
            u"\u2028"_qs, u"\u000B"_qs, u"\u000C"_qs,
            u"\u0085"_qs, u"\u2029"_qs, u"\u0009\u000E\u0084\u0086\u2027\u202A"_qs};
        QRandomGenerator random(7);
        for (int round = 0; round < 3000; ++round) {
            QString text = u"===\n"_qs;
            if (round % 10 == 0)
                text.clear();
            for (int n = int(random.bounded(40)); n > 0; --n)
                text += pieces[random.bounded(pieces.size())];
            QCOMPARE(facesOf(readCards(text)), plainReading(text));
            CardReader inPieces;
            for (qsizetype at = 0; at < text.size();) {
                const qsizetype length = std::min<qsizetype>(random.bounded(8), text.size() - at);
                inPieces.add(QStringView(text).sliced(at, length));
                at += length;
            }
            QCOMPARE(facesOf(inPieces.finish()), plainReading(text));
        }
    }

    // A deck of tens of thousands of cards is gathered in batches, or in the room reserved from
    // an estimate, too small or too big, made before or after the first batches: no card is
    // lost, doubled or moved, and the card numbers run on.
    void aLongDeckKeepsEveryCardInOrder_data()
    {
        QTest::addColumn<int>("reserveAfter"); // cards; 0: no room reserved
        QTest::addColumn<int>("reserved");
        QTest::newRow("batches") << 0 << 0;
        QTest::newRow("estimate too small") << 10 << 100;
        QTest::newRow("estimate too big") << 10 << 100'000;
        QTest::newRow("estimate right") << 1000 << 40'000;
        QTest::newRow("estimate after batches") << 20'000 << 40'000;
        QTest::newRow("estimate below what was read") << 20'000 << 5'000;
    }
    void aLongDeckKeepsEveryCardInOrder()
    {
        QFETCH(int, reserveAfter);
        QFETCH(int, reserved);
        constexpr int count = 40'000;
        CardReader reader;
        for (int i = 0; i < count; ++i) {
            // No empty line after the last face.
            reader.add(
                u"=== c%1\nq%1\n---\na%1%2"_qs.arg(i).arg(i + 1 < count ? u"\n"_qs : QString()));
            if (i + 1 == reserveAfter)
                reader.reserve(reserved);
        }
        const QList<Card> cards = reader.finish();
        QCOMPARE(cards.size(), count);
        for (int i = 0; i < count; ++i) {
            const Card &card = cards[i];
            QCOMPARE(card.cardID.value_or(-1), qint64(i));
            QCOMPARE(card.caption, u"c%1"_qs.arg(i));
            QCOMPARE(card.faces.size(), 2);
            QCOMPARE(card.faces[0].text.toString(), u"q%1\n"_qs.arg(i));
            QCOMPARE(card.faces[1].text.toString(), u"a%1\n"_qs.arg(i));
        }
    }

    void captionsComeFromTheCardMarkers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("captions"); // card by card
        QTest::newRow("plain") << u"=== Europe\nParis\n=== Asia\nTokyo\n"_qs
                               << QStringList{u"Europe"_qs, u"Asia"_qs};
        QTest::newRow("none") << u"===\nA\n=====\nB\n=== \t \nC\n"_qs
                              << QStringList{QString(), QString(), QString()};
        QTest::newRow("framed by = and spaces") << u"===Europe===\nA\n====  Two words  ====\nB\n"_qs
                                                << QStringList{u"Europe"_qs, u"Two words"_qs};
        QTest::newRow("inner = kept") << u"=== a = b\nA\n"_qs << QStringList{u"a = b"_qs};
        QTest::newRow("face marker text is no caption")
            << u"=== card\n--- back\nA\n"_qs << QStringList{u"card"_qs};
        // A marker that makes no card gives its caption to nobody.
        QTest::newRow("empty card skipped")
            << u"=== lost\n=== kept\nA\n"_qs << QStringList{u"kept"_qs};
    }
    void captionsComeFromTheCardMarkers()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, captions);
        QStringList read;
        for (const Card &card : readCards(text))
            read << card.caption;
        QCOMPARE(read, captions);
    }

    void identifiersAreFreshAndUpperCase()
    {
        const QString text = u"===\nQ\n---\nA"_qs;
        const QList<Card> first = readCards(text);
        const QList<Card> second = readCards(text);
        QVERIFY(first != second);
        QVERIFY(first[0].faces[0].id() != first[0].faces[1].id());
        const QString id = first[0].faces[0].id();
        QCOMPARE(id.size(), 36);
        QCOMPARE(id, id.toUpper());
        QCOMPARE(QUuid::fromString(id).version(), QUuid::Random);
        CardFace copy = first[0].faces[0];
        QCOMPARE(copy, first[0].faces[0]);
        QCOMPARE(qHash(copy), qHash(first[0].faces[0]));
        copy.rating = 1;
        QVERIFY(copy != first[0].faces[0]);
    }

    void titleOfFileUrl_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("title");
        QTest::newRow("two extensions") << u"/d/capitals.cards.txt"_qs << u"capitals.cards"_qs;
        QTest::newRow("one extension") << u"/d/deck.txt"_qs << u"deck"_qs;
        QTest::newRow("double dot") << u"/d/my..deck.txt"_qs << u"my.deck"_qs;
        QTest::newRow("no dot") << u"/d/deck"_qs << QString();
        QTest::newRow("only extension") << u"/d/.txt"_qs << QString();
        QTest::newRow("tarball") << u"/d/deck.tar.gz"_qs << u"deck.tar"_qs;
        QTest::newRow("a.b.c") << u"/d/a.b.c"_qs << u"a.b"_qs;
    }

    void titleOfFileUrl()
    {
        QFETCH(QString, path);
        QFETCH(QString, title);
        QCOMPARE(deckTitle(QUrl::fromLocalFile(path)), title);
    }

    void readsOnlyUtf8Files()
    {
        QTemporaryDir dir;
        const auto write = [&](const QString &name, const QByteArray &bytes) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        };
        write(u"good.txt"_qs, "===\nca\xc3\xa9\n");
        write(u"bad.txt"_qs, "===\nLatin-1 caf\xe9\n");
        write(u"cut.txt"_qs, "===\ncaf\xc3");
        write(u"bom.txt"_qs, "\xef\xbb\xbf===\nQ");
        QCOMPARE(readUtf8File(dir.filePath(u"good.txt"_qs)), u"===\ncaé\n"_qs);
        QCOMPARE(readUtf8File(dir.filePath(u"bad.txt"_qs)), std::nullopt);
        QCOMPARE(readUtf8File(dir.filePath(u"cut.txt"_qs)), std::nullopt);
        QCOMPARE(readUtf8File(dir.filePath(u"missing.txt"_qs)), std::nullopt);
        QCOMPARE(readUtf8File(dir.path()), std::nullopt);
        const auto bom = readUtf8File(dir.filePath(u"bom.txt"_qs));
        QVERIFY(bom);
        QCOMPARE(facesOf(readCards(*bom)), Faces{{u"Q\n"_qs}});
    }
};

QTEST_GUILESS_MAIN(TestFlashcardReader)
#include "test_flashcard_reader.moc"
