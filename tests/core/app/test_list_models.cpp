#include "app_test_support.h"

#include "core/app/card_list_model.h"
#include "core/app/commands_coordinator.h"
#include "core/app/recent_files.h"
#include "core/app/recent_files_model.h"

#include <QAbstractItemModelTester>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <optional>

// The list models of the card list and the recent files, checked by Qt's model tester through
// every change their sources go through.
class TestListModels : public QObject
{
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    std::optional<QSettings> m_settings;
    std::unique_ptr<RecentFiles> m_recent;
    std::unique_ptr<CommandsCoordinator> m_coordinator;

private Q_SLOTS:
    void init()
    {
        m_coordinator.reset();
        m_recent.reset();
        m_settings.reset();
        QVERIFY(m_dir.emplace().isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir->filePath(QStringLiteral("data"))));
        qputenv("HOME", QFile::encodeName(m_dir->path()));
        m_settings.emplace(m_dir->filePath(QStringLiteral("preferences.ini")),
                           QSettings::IniFormat);
        m_recent = std::make_unique<RecentFiles>(&*m_settings);
        m_coordinator = std::make_unique<CommandsCoordinator>(
            &*m_settings, m_dir->filePath(QStringLiteral("progress")), m_recent.get());
    }
    void cleanup()
    {
        m_coordinator.reset();
        m_recent.reset();
        m_settings.reset();
    }

    void cardRowsFollowTheDeckThroughEveryChange()
    {
        CardListModel model(*m_coordinator);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        m_coordinator->open(makeFile(*m_dir, QStringLiteral("a.txt"), deckText(12)));
        QCOMPARE(model.rowCount(), 12);
        QCOMPARE(model.index(11).data().toString(), QStringLiteral("Card 11"));
        QCOMPARE(model.index(11).data(CardListModel::CaptionRole).toString(),
                 QStringLiteral("Q11"));
        QCOMPARE(model.index(11).data(CardListModel::CardIndexRole).toLongLong(), 11);

        CardFace face = m_coordinator->dataFile()->cards[2].faces[0];
        face.rating = 3;
        QVERIFY(m_coordinator->setFace(2, 0, face));
        QCOMPARE(model.index(2).data(CardListModel::RatingFractionRole).toDouble(), 0.3);

        model.setFilter(QStringLiteral("q1"));
        QCOMPARE(model.rowCount(), 3); // Q1, Q10, Q11
        QCOMPARE(model.cardAt(1), 10);
        QCOMPARE(model.rowOf(11), 2);
        QCOMPARE(model.rowOf(2), std::nullopt);
        model.setFilter(QString());
        QCOMPARE(model.rowCount(), 12);

        m_coordinator->open(makeFile(*m_dir, QStringLiteral("b.txt"), deckText(3)));
        QCOMPARE(model.rowCount(), 3);
        m_coordinator->open(std::nullopt);
        QCOMPARE(model.rowCount(), 0);
    }

    void recentRowsFollowTheStore()
    {
        RecentFilesModel model(*m_recent);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QUrl first = makeFile(*m_dir, QStringLiteral("World capitals.txt"));
        const QUrl second = makeFile(*m_dir, QStringLiteral("verbs.cards"));
        m_recent->add(first);
        m_recent->add(second);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.index(0).data().toString(), QStringLiteral("verbs"));
        QCOMPARE(model.index(1).data().toString(), QStringLiteral("World capitals"));
        QCOMPARE(model.index(1).data(RecentFilesModel::UrlRole).toUrl(), first);
        QCOMPARE(model.index(1).data(Qt::ToolTipRole).toString(), first.toLocalFile());
        m_recent->remove(second);
        QCOMPARE(model.rowCount(), 1);
        m_recent->clear();
        QCOMPARE(model.rowCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestListModels)
#include "test_list_models.moc"
