#include "core/model/flashcard_reader.h"
#include "core/store/deck_loader.h"
#include "core/store/progress_store.h"
#include "core/store/property_list.h"
#include "core/store/safe_file.h"
#include "core/store/stored_record.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

Q_DECLARE_METATYPE(StoredField)

// Saves write the deck over the table on disk: what the deck does not own is kept.
class TestProgressMerge : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_folder;
    const QUrl m_deck = QUrl::fromLocalFile(u"/decks/vocab.txt"_qs);
    const QDateTime m_start = QDateTime(QDate(2026, 1, 10), QTime(9, 0), Qt::UTC);

    QString progressPath() const { return progressFileURL(m_deck, m_folder).toLocalFile(); }

    QByteArray fileBytes() const
    {
        QFile file(progressPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QList<StoredRecord> records() const { return decodeStoredRecords(fileBytes()).value(); }

    const StoredRecord *recordOf(const QList<StoredRecord> &all, QStringView text) const
    {
        const QString key = faceKey(text);
        for (const StoredRecord &record : all)
            if (record.key == key)
                return &record;
        return nullptr;
    }

    // The cards of the text, with the faces whose text is in ratings rated so.
    static QList<Card> rated(const QString &text, const QHash<QString, int> &ratings)
    {
        QList<Card> cards = readCards(text);
        for (Card &card : cards)
            for (CardFace &face : card.faces)
                if (ratings.contains(face.text.toString())) {
                    face.rating = qint8(ratings.value(face.text.toString()));
                    face.progress = CardFaceProgress::Learning;
                }
        return cards;
    }

    bool save(const QList<Card> &cards, const FaceChanges &changes, const QDateTime &now)
    {
        QString error;
        const bool saved = saveProgress(m_deck, cards, m_folder, changes, now, &error);
        if (!saved)
            qWarning("%s", qPrintable(error));
        return saved;
    }

    static FaceChanges changed(const QStringList &texts)
    {
        FaceChanges changes;
        for (const QString &text : texts)
            changes.changed.insert(faceDigest(text));
        return changes;
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_folder = m_dir.filePath(QStringLiteral("progress-%1").arg(QTest::currentTestFunction()));
    }

    void unclaimedRecordsAreMarkedKeptAndPrunedAfter180Days()
    {
        QVERIFY(save(rated(u"===\nkeep\n===\ncut"_qs, {{u"keep\n"_qs, 1}, {u"cut\n"_qs, 2}}),
                     FaceChanges::everyFace(), m_start));
        // The card is cut out of the file.
        QVERIFY(save(readCards(u"===\nkeep"_qs), {}, m_start.addDays(3)));
        auto all = records();
        QCOMPARE(all.size(), 2);
        const StoredRecord *cut = recordOf(all, u"cut\n");
        QVERIFY(cut);
        QCOMPARE(*cut->value(orphanedSinceKey),
                 StoredValue(plistDateFromDateTime(m_start.addDays(3))));
        QCOMPARE(*cut->value(u"rating"), StoredValue(qint64(2)));
        QVERIFY(!recordOf(all, u"keep\n")->value(orphanedSinceKey));
        // Later saves keep the first date.
        QVERIFY(save(readCards(u"===\nkeep"_qs), {}, m_start.addDays(3 + 180)));
        QCOMPARE(*recordOf(records(), u"cut\n")->value(orphanedSinceKey),
                 StoredValue(plistDateFromDateTime(m_start.addDays(3))));
        // Pasted back, the card claims its record again and the mark goes.
        QCOMPARE(loadDataFile(u"===\ncut"_qs, m_deck, m_folder).cards[0].faces[0].rating, 2);
        QVERIFY(save(readCards(u"===\ncut\n===\nkeep"_qs), {}, m_start.addDays(4)));
        QVERIFY(!recordOf(records(), u"cut\n")->value(orphanedSinceKey));
        // Unclaimed for more than 180 days, a record is dropped.
        QVERIFY(save(readCards(u"===\nkeep"_qs), {}, m_start.addDays(5)));
        QVERIFY(save(readCards(u"===\nkeep"_qs), {}, m_start.addDays(5 + 180)));
        QCOMPARE(records().size(), 2);
        QVERIFY(save(readCards(u"===\nkeep"_qs), {}, m_start.addDays(5 + 181)));
        QCOMPARE(records().size(), 1);
        QVERIFY(recordOf(records(), u"keep\n"));
    }

    void aDeckWithoutCardsWritesNothing()
    {
        QVERIFY(save(rated(u"===\nQ"_qs, {{u"Q"_qs, 3}}), FaceChanges::everyFace(), m_start));
        const QByteArray before = fileBytes();
        QVERIFY(save(readCards(u"Title\n===\nQ"_qs), FaceChanges::everyFace(), m_start));
        QVERIFY(save(readCards(u""_qs), FaceChanges::everyFace(), m_start));
        QCOMPARE(fileBytes(), before);
    }

    void recordsFromOtherWritersKeepEveryKey()
    {
        // A table written by another program, or a later version: keys this one does not know,
        // values of every scalar type, one record with a key that no face can have.
        QVERIFY(QDir().mkpath(m_folder));
        const QString other = faceKey(u"other\n");
        const QString mine = faceKey(u"mine\n");
        const QByteArray xml =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
            "<key>" +
            other.toUtf8() +
            "</key><dict>"
            "<key>id</key><string>not-a-uuid</string><key>text</key><string>other\n</string>"
            "<key>rating</key><integer>2</integer><key>progressRank</key><integer>7</integer>"
            "<key>progress</key><string>mastered</string>"
            "<key>lastReview</key><date>2025-12-01T10:00:00Z</date>"
            "<key>stability</key><real>12.5</real><key>reviews</key><integer>4</integer>"
            "<key>suspended</key><true/><key>blob</key><data>AAEC</data></dict>"
            "<key>" +
            mine.toUtf8() +
            "</key><dict>"
            "<key>id</key><string>x</string><key>text</key><string>mine\n</string>"
            "<key>rating</key><integer>1</integer><key>progressRank</key><integer>0</integer>"
            "<key>progress</key><string>learning</string><key>ease</key><real>5.25</real>"
            "</dict>"
            "<key>not a face key</key><dict>"
            "<key>id</key><string>y</string><key>text</key><string>z</string>"
            "<key>rating</key><integer>0</integer><key>progressRank</key><integer>0</integer>"
            "<key>progress</key><string>new</string></dict>"
            "</dict></plist>\n";
        QFile file(progressPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(xml), xml.size());
        file.close();
        const QList<StoredRecord> before = decodeStoredRecords(xml).value();
        QCOMPARE(before.size(), 3);

        QList<Card> cards = rated(u"===\nmine"_qs, {{u"mine\n"_qs, 3}});
        QVERIFY(save(cards, changed({u"mine\n"_qs}), m_start));
        const QList<StoredRecord> after = records();
        QCOMPARE(after.size(), 3);
        // Unclaimed records come back whole, with the date since when no face claims them.
        for (const QString &key : {other, u"not a face key"_qs}) {
            const StoredRecord *was = nullptr;
            const StoredRecord *is = nullptr;
            for (const StoredRecord &record : before)
                was = record.key == key ? &record : was;
            for (const StoredRecord &record : after)
                is = record.key == key ? &record : is;
            QVERIFY(was && is);
            QCOMPARE(is->fields.mid(0, was->fields.size()), was->fields);
            QCOMPARE(is->fields.size(), was->fields.size() + 1);
            QCOMPARE(is->fields.last().name, QString::fromUtf16(orphanedSinceKey));
        }
        // The changed face is written from the deck and keeps the keys it does not write.
        const StoredRecord *written = recordOf(after, u"mine\n");
        QCOMPARE(*written->value(u"rating"), StoredValue(qint64(3)));
        QCOMPARE(*written->value(u"ease"), StoredValue(5.25));
        // The old reader rules still read the file.
        const ProgressTable table = decodeProgressTable(fileBytes()).value();
        QCOMPARE(table.value(faceDigest(u"other\n")).rating, 2);
        QCOMPARE(table.value(faceDigest(u"other\n")).progress, CardFaceProgress::Mastered);
        QCOMPARE(table.value(faceDigest(u"mine\n")),
                 (SavedProgress{3, CardFaceProgress::Learning}));
    }

    // Records that no face claims come back field for field, whether or not they have the form
    // that this version writes.
    void unclaimedRecordsComeBackAsTheyWere_data()
    {
        QTest::addColumn<QList<StoredField>>("fields");
        const auto f = [](const char *name, StoredValue value) {
            return StoredField{QString::fromLatin1(name), std::move(value)};
        };
        const QList<StoredField> face{f("id", u"E621E1F8-C36C-495A-93FC-0C247A3E6E5F"_qs),
                                      f("cardFaceID", qint64(4)),
                                      f("text", u"other\n"_qs),
                                      f("rating", qint64(-2)),
                                      f("lastReview", PlistDate{789000000}),
                                      f("progressRank", qint64(3)),
                                      f("stability", 2.5),
                                      f("difficulty", 4.25),
                                      f("reviews", qint64(3)),
                                      f("lapses", qint64(1)),
                                      f("progress", u"mastered"_qs)};
        const auto with = [&](int at, StoredField field) {
            QList<StoredField> fields = face;
            if (at < 0)
                fields.append(field);
            else
                fields[at] = field;
            return fields;
        };
        QTest::newRow("as a face writes it") << face;
        QTest::newRow("another key") << with(-1, f("suspended", true));
        QTest::newRow("lower-case id")
            << with(0, f("id", u"e621e1f8-c36c-495a-93fc-0c247a3e6e5f"_qs));
        QTest::newRow("date between milliseconds") << with(4, f("lastReview", PlistDate{0.0001}));
        QTest::newRow("stability out of range") << with(6, f("stability", 50000.0));
        QTest::newRow("stability an integer") << with(6, f("stability", qint64(3)));
        QTest::newRow("counts without stability") << face.mid(0, 6) + face.mid(8);
        QTest::newRow("rating as a face never has it")
            << with(3, f("rating", qint64(100))) + QList{f("notes", QByteArray("\0\1", 2))};
    }
    void unclaimedRecordsComeBackAsTheyWere()
    {
        QFETCH(QList<StoredField>, fields);
        QVERIFY(QDir().mkpath(m_folder));
        const StoredRecord record{faceKey(u"other\n"), fields};
        QFile file(progressPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(encodeProgressTable({}, {record}));
        file.close();

        QVERIFY(
            save(rated(u"===\nmine"_qs, {{u"mine\n"_qs, 3}}), changed({u"mine\n"_qs}), m_start));
        const QList<StoredRecord> all = records();
        const StoredRecord *after = recordOf(all, u"other\n");
        QVERIFY(after);
        const auto byName = [](QList<StoredField> fields) {
            std::sort(fields.begin(), fields.end(),
                      [](const StoredField &a, const StoredField &b) { return a.name < b.name; });
            return fields;
        };
        QCOMPARE(byName(after->fields),
                 byName(fields + QList{StoredField{QString::fromUtf16(orphanedSinceKey),
                                                   plistDateFromDateTime(m_start)}}));
    }

    void aValueThatCannotBeWrittenBackDoesNotPutTheFileAside()
    {
        // Another program's table, with a list under a key of its own: the save keeps the
        // records and their other keys rather than move the whole file aside.
        QVERIFY(QDir().mkpath(m_folder));
        const QByteArray xml =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>" +
            faceKey(u"other\n").toUtf8() +
            "</key><dict><key>id</key><string>x</string><key>text</key><string>other\n</string>"
            "<key>rating</key><integer>2</integer><key>progressRank</key><integer>0</integer>"
            "<key>progress</key><string>learning</string><key>tags</key><array><string>a"
            "</string></array><key>ease</key><real>2.5</real></dict></dict></plist>\n";
        QFile file(progressPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(xml);
        file.close();

        QVERIFY(
            save(rated(u"===\nmine"_qs, {{u"mine\n"_qs, 3}}), changed({u"mine\n"_qs}), m_start));
        QVERIFY(!QFileInfo::exists(progressPath() + u".corrupt"_qs));
        const QList<StoredRecord> all = records();
        const StoredRecord *other = recordOf(all, u"other\n");
        QVERIFY(other);
        QCOMPARE(*other->value(u"rating"), StoredValue(qint64(2)));
        QCOMPARE(*other->value(u"ease"), StoredValue(2.5));
        QVERIFY(!other->value(u"tags"));
    }

    void aSaveWritesOnlyTheFacesItChanged()
    {
        const QString text = u"===\nQ1\n---\nA1\n===\nQ2\n---\nA2"_qs;
        QVERIFY(save(readCards(text), FaceChanges::everyFace(), m_start));
        // Two writers read the table while it was fresh; each rates another face.
        const QList<Card> first = rated(text, {{u"Q1\n"_qs, 1}});
        const QList<Card> second = rated(text, {{u"A2\n"_qs, 2}});
        QVERIFY(save(first, changed({u"Q1\n"_qs}), m_start));
        QVERIFY(save(second, changed({u"A2\n"_qs}), m_start));
        const DataFile deck = loadDataFile(text, m_deck, m_folder);
        QCOMPARE(deck.cards[0].faces[0].rating, 1);
        QCOMPARE(deck.cards[1].faces[1].rating, 2);
        // The file of this process is read again when another replaced it.
        QVERIFY(save(first, changed({u"Q1\n"_qs}), m_start));
        QCOMPARE(loadDataFile(text, m_deck, m_folder).cards[1].faces[1].rating, 2);
    }

    void aRecordTakenFromDiskServesEveryFaceOfItsText()
    {
        // Two cards share a face text. The saves below change no face, so every record they
        // write is the one on disk: decoded from a file another writer rewrote, then
        // remembered from the save before.
        const QString text = u"===\nQ1\n---\nSame\n===\nQ2\n---\nSame\n===\nQ3\n---\nA3"_qs;
        QVERIFY(save(rated(text, {{u"Same\n"_qs, 3}, {u"Q2\n"_qs, 2}}), FaceChanges::everyFace(),
                     m_start));
        QVERIFY(writeFileSafely(progressPath(), encodeProgressTable({}, records())));
        const QList<Card> cards = readCards(text);
        for (int run = 0; run < 3; ++run) {
            QVERIFY(save(cards, FaceChanges(), m_start));
            const QList<StoredRecord> all = records();
            QCOMPARE(all.size(), 5);
            for (const StoredRecord &record : all)
                QVERIFY(!record.value(orphanedSinceKey));
            const DataFile deck = loadDataFile(text, m_deck, m_folder);
            QCOMPARE(deck.cards[0].faces[1].rating, 3);
            QCOMPARE(deck.cards[1].faces[1].rating, 3);
            QCOMPARE(deck.cards[1].faces[0].rating, 2);
        }
    }
};

QTEST_GUILESS_MAIN(TestProgressMerge)
#include "test_progress_merge.moc"
