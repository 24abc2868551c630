#include "core/model/flashcard_reader.h"
#include "core/store/deck_loader.h"
#include "core/store/heap_room.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>

#include <malloc.h>

namespace {

// Bytes the allocator has handed out in mappings of their own.
qint64 mappedBlocks()
{
    return qint64(mallinfo2().hblkhd);
}

// Whether a block bigger than the heap has room for is mapped on its own.
bool bigBlockIsMapped()
{
    const qint64 before = mappedBlocks();
    // Kept from the optimizer, which may leave out a block that is never used.
    void *volatile block = std::malloc(size_t(256) << 20);
    const bool mapped = mappedBlocks() > before;
    std::free(block);
    return mapped;
}

} // namespace

// The tuning is for the whole process and cannot be undone: the test functions run in order.
class TestHeapRoom : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void aUserWhoTunedTheAllocatorKeepsTheirSettings()
    {
        qputenv("GLIBC_TUNABLES", "glibc.malloc.arena_max=2");
        tuneHeapForBigLoads();
        qunsetenv("GLIBC_TUNABLES");
        QVERIFY(!heapTunedForBigLoads());
        const HeapRoom room(HeapRoom::smallestRoom);
        QCOMPARE(room.bytes(), 0);
    }

    void roomsLetBigBlocksComeFromTheHeapUntilTheLastOneEnds()
    {
        tuneHeapForBigLoads();
        if (!heapTunedForBigLoads())
            QSKIP("this allocator takes no such settings");
        QVERIFY(bigBlockIsMapped());
        {
            auto first = std::make_unique<HeapRoom>(HeapRoom::smallestRoom);
            QCOMPARE(first->bytes(), HeapRoom::smallestRoom);
            QVERIFY(!bigBlockIsMapped());
            const HeapRoom second(HeapRoom::smallestRoom * 2);
            first.reset();
            QVERIFY(!bigBlockIsMapped());
        }
        QVERIFY(bigBlockIsMapped());
    }

    void aSmallLoadMakesNoRoom()
    {
        const HeapRoom room(HeapRoom::smallestRoom - 1);
        QCOMPARE(room.bytes(), 0);
        QVERIFY(!heapTunedForBigLoads() || bigBlockIsMapped());
    }

    // The room changes where the cards are held, never what they are.
    void aDeckReadInARoomIsTheSameDeck()
    {
        QByteArray text;
        for (int card = 0; card < 20000; ++card)
            text += "=== " + QByteArray::number(card) + "\nfront " + QByteArray::number(card) +
                    " \xc3\xa9t\xc3\xa9\n---\nback " + QByteArray(card % 90, 'x') + '\n';
        const QString path = m_dir.filePath(u"deck.txt"_qs);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
        file.close();
        const std::optional<QList<Card>> outside = readCardsFromFile(path);
        QVERIFY(outside);
        std::optional<QList<Card>> inside;
        {
            const HeapRoom room(HeapRoom::smallestRoom);
            inside = readCardsFromFile(path);
        }
        QVERIFY(inside);
        QCOMPARE(inside->size(), 20000);
        QCOMPARE(inside->size(), outside->size());
        for (qsizetype c = 0; c < outside->size(); ++c) {
            QCOMPARE((*inside)[c].faces.size(), (*outside)[c].faces.size());
            for (qsizetype f = 0; f < (*outside)[c].faces.size(); ++f)
                QCOMPARE((*inside)[c].faces[f].text, (*outside)[c].faces[f].text);
        }
    }
};

QTEST_GUILESS_MAIN(TestHeapRoom)
#include "test_heap_room.moc"
