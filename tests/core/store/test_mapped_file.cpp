#include "core/store/mapped_file.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

#include <sys/stat.h>

class TestMappedFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size())
            return {};
        return path;
    }

    static QByteArray pages(int count)
    {
        QByteArray bytes;
        for (int i = 0; i < count; ++i)
            bytes += QByteArray(4096, char('a' + i % 26));
        return bytes;
    }

private Q_SLOTS:
    void mapsTheBytesOfTheFile()
    {
        const QByteArray bytes = pages(5) + "tail";
        const auto mapped = MappedFile::map(write(u"plain"_qs, bytes), 1 << 20);
        QVERIFY(mapped);
        QCOMPARE(mapped->bytes().toByteArray(), bytes);
        QVERIFY(!mapped->wasCut());
    }

    void refusesWhatItShouldNotMap()
    {
        QVERIFY(!MappedFile::map(m_dir.filePath(u"missing"_qs), 1 << 20));
        QVERIFY(!MappedFile::map(write(u"empty"_qs, {}), 1 << 20));
        QVERIFY(!MappedFile::map(write(u"big"_qs, pages(2)), 4096));
        QVERIFY(!MappedFile::map(m_dir.path(), 1 << 20));
        const QString fifo = m_dir.filePath(u"fifo"_qs);
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QVERIFY(!MappedFile::map(fifo, 1 << 20));
    }

    void releasedPagesAreReadAgain()
    {
        const QByteArray bytes = pages(8);
        const auto mapped = MappedFile::map(write(u"released"_qs, bytes), 1 << 20);
        QVERIFY(mapped);
        QCOMPARE(mapped->bytes().toByteArray(), bytes);
        mapped->release(100, 7 * 4096 + 5);
        QCOMPARE(mapped->bytes().toByteArray(), bytes);
    }

    void pagesFetchedAheadReadAsTheFile()
    {
        const QByteArray bytes = pages(8) + "end";
        const auto mapped = MappedFile::map(write(u"fetched"_qs, bytes), 1 << 20);
        QVERIFY(mapped);
        mapped->fetch(-5, qsizetype(1) << 30);
        QCOMPARE(mapped->bytes().toByteArray(), bytes);
        mapped->release(0, bytes.size());
        mapped->fetch(2 * 4096 + 7, 5 * 4096);
        mapped->fetch(6 * 4096, 6 * 4096);
        QCOMPARE(mapped->bytes().toByteArray(), bytes);
    }

    // The file of these bytes mapped, and then cut short to its first page; none when either
    // fails.
    std::unique_ptr<MappedFile> mapThenCut(const QString &name, const QByteArray &bytes)
    {
        const QString path = write(name, bytes);
        auto mapped = MappedFile::map(path, 1 << 20);
        if (!mapped || !QFile::resize(path, 4096))
            return nullptr;
        return mapped;
    }

    // The pages a file lost cannot be fetched; the walk then reads them as zeros, as ever.
    void fetchingPagesAFileNoLongerHasLeavesThemAlone()
    {
        const QByteArray bytes = pages(4);
        const auto mapped = mapThenCut(u"fetched-cut"_qs, bytes);
        QVERIFY(mapped);
        mapped->fetch(0, bytes.size());
        QVERIFY(!mapped->wasCut());
        QCOMPARE(mapped->bytes().first(4096).toByteArray(), bytes.first(4096));
        QCOMPARE(mapped->bytes().sliced(4096).toByteArray(), QByteArray(3 * 4096, '\0'));
        QVERIFY(mapped->wasCut());
    }

    void aFileReplacedMeanwhileKeepsItsBytes()
    {
        const QByteArray bytes = pages(3);
        const QString path = write(u"replaced"_qs, bytes);
        const auto mapped = MappedFile::map(path, 1 << 20);
        QVERIFY(mapped);
        const QString other = write(u"other"_qs, "new");
        QCOMPARE(
            ::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()), 0);
        mapped->release(0, bytes.size());
        QCOMPARE(mapped->bytes().toByteArray(), bytes);
    }

    // Reading a page that the file no longer has would end the process with a bus error.
    void aFileCutShortWhileMappedReadsZerosAndSaysSo()
    {
        const QByteArray bytes = pages(4);
        const auto mapped = mapThenCut(u"cut"_qs, bytes);
        QVERIFY(mapped);
        const QByteArrayView view = mapped->bytes();
        QCOMPARE(view.first(4096).toByteArray(), bytes.first(4096));
        QCOMPARE(view.sliced(3 * 4096).toByteArray(), QByteArray(4096, '\0'));
        QVERIFY(mapped->wasCut());
        // Another mapping, of a whole file, is not told of it.
        const auto whole = MappedFile::map(write(u"whole"_qs, bytes), 1 << 20);
        QVERIFY(whole);
        QCOMPARE(whole->bytes().toByteArray(), bytes);
        QVERIFY(!whole->wasCut());
    }
};

QTEST_GUILESS_MAIN(TestMappedFile)
#include "test_mapped_file.moc"
