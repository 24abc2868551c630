#include "core/model/face_text.h"
#include "core/store/progress_table.h"

#include <QTest>

#include <memory>

// A face's text must read back exactly as it was given, in whichever form it is held, and must
// digest to the key its progress is stored under.
class TestFaceText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsBackAsGiven_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("latin1");

        QTest::newRow("empty") << QString() << true;
        QTest::newRow("ascii") << u"What is the capital of France?\n"_qs << true;
        QTest::newRow("accents") << u"café ÿ\n"_qs << true;
        QTest::newRow("control characters") << u"\u0080\u009f\t\0"_qs << true;
        QTest::newRow("first character beyond latin-1") << u"\u0100"_qs << false;
        QTest::newRow("wide character last") << u"Latin then \u65e5"_qs << false;
        QTest::newRow("wide character first") << u"\u65e5 then latin é"_qs << false;
        QTest::newRow("surrogate pair") << u"\U0001F600 smile"_qs << false;
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << false;
        QTest::newRow("long") << QString(100'000, u'é') << true;
    }

    void readsBackAsGiven()
    {
        QFETCH(QString, text);
        QFETCH(bool, latin1);
        const FaceText face(text);
        QCOMPARE(face.toString(), text);
        QCOMPARE(face.size(), text.size());
        QCOMPARE(face.isEmpty(), text.isEmpty());
        QCOMPARE(face.isLatin1(), latin1);
        QVERIFY(face == QStringView(text));
        QVERIFY(face.view() == text);
        QCOMPARE(face.visit([](auto chars) { return chars.toString(); }), text);
    }

    void equalTextsAreEqual_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("equal");

        QTest::newRow("same ascii") << u"abc"_qs << u"abc"_qs << true;
        QTest::newRow("same wide") << u"日本"_qs << u"日本"_qs << true;
        QTest::newRow("both empty") << QString() << u""_qs << true;
        QTest::newRow("empty and not") << QString() << u"a"_qs << false;
        QTest::newRow("prefix") << u"abc"_qs << u"ab"_qs << false;
        QTest::newRow("one letter apart") << u"abc"_qs << u"abd"_qs << false;
        QTest::newRow("accent apart") << u"e"_qs << u"é"_qs << false;
        // The same bytes held in the two forms.
        QTest::newRow("bytes of a wide character") << u"ab"_qs << QString(QChar(0x6261)) << false;
    }

    void equalTextsAreEqual()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, equal);
        const FaceText first(a);
        const FaceText second(b);
        QCOMPARE(first == second, equal);
        QCOMPARE(first != second, !equal);
        QCOMPARE(first == QStringView(b), equal);
        if (equal)
            QCOMPARE(qHash(first, 7), qHash(second, 7));
    }

    void copiesShareAndOutliveTheOriginal()
    {
        auto original = std::make_unique<FaceText>(u"Paris, the capital of France\n"_qs);
        FaceText copy = *original;
        // The same block, not an equal one: compare where the characters are, not what.
        QVERIFY(copy.latin1().data() == original->latin1().data());
        FaceText assigned;
        assigned = copy;
        original.reset();
        FaceText moved = std::move(copy);
        QVERIFY(copy.isEmpty());
        QCOMPARE(moved.toString(), u"Paris, the capital of France\n"_qs);
        QCOMPARE(assigned, moved);
        assigned = FaceText(u"other"_qs);
        QCOMPARE(moved.toString(), u"Paris, the capital of France\n"_qs);
    }

    // The MD5 of the text's UTF-8 bytes, as Python's hashlib gives it, whatever the form.
    void digestIsTheMd5OfTheUtf8Bytes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("md5");

        QTest::newRow("empty") << QString() << QByteArray("d41d8cd98f00b204e9800998ecf8427e");
        QTest::newRow("ascii") << u"Paris\n"_qs << QByteArray("86711773d8cba579a5e85969051e74dc");
        QTest::newRow("latin-1") << u"café ÿ\n"_qs
                                 << QByteArray("f8b91a3c2f9c325b6d4384c4c6f25f0e");
        QTest::newRow("latin-1 only")
            << u"été"_qs << QByteArray("deaf6a1e9612a4d8c221e68ee23d58d2");
        QTest::newRow("c1 controls")
            << u"\u0080\u009f"_qs << QByteArray("a62b00b05c19ada419773d3ada1a94f9");
        QTest::newRow("null character") << QStringView(u"nul\0byte", 8).toString()
                                        << QByteArray("01c4dc7a168901833036a4eb40fe0378");
        QTest::newRow("first beyond latin-1")
            << u"\u0100"_qs << QByteArray("99c2cdc511a866f109a87f21f336ed94");
        QTest::newRow("cjk") << u"日本\n"_qs << QByteArray("d3f53f45429320f55d4906ab6450d8dc");
        QTest::newRow("surrogate pair")
            << u"\U0001F600 smile"_qs << QByteArray("98b8d9b6ec6b75414c72cc498f133947");
    }

    void digestIsTheMd5OfTheUtf8Bytes()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, md5);
        const FaceDigest digest = faceDigest(FaceText(text));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(digest.bytes.data()), 16).toHex(), md5);
        QCOMPARE(digest, faceDigest(QStringView(text)));
        QCOMPARE(faceKey(FaceText(text)), faceKey(QStringView(text)));
    }

    // A text the UTF-8 form cannot hold digests as a QString of it always has.
    void loneSurrogateDigestsAsBefore()
    {
        const QString text = u"a"_qs + QChar(0xDC00) + u"b"_qs;
        QCOMPARE(faceDigest(FaceText(text)), faceDigest(QStringView(text)));
    }
};

QTEST_GUILESS_MAIN(TestFaceText)
#include "test_face_text.moc"
