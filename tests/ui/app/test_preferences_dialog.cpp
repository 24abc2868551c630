#include "ui/app/preferences_dialog.h"
#include "ui/app/window_test_support.h"

#include "core/app/study_settings.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSpinBox>

class TestPreferencesDialog : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowFixture> fixture;

    template <typename T> T *child(const QDialog &dialog, const char *name)
    {
        return dialog.findChild<T *>(QString::fromLatin1(name));
    }

private Q_SLOTS:
    void init() { fixture = std::make_unique<WindowFixture>(); }
    void cleanup() { fixture.reset(); }

    // Weights that the model cannot take are refused with a message naming the bad value, and
    // nothing is stored.
    void badWeightsAreRefused_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("named");
        QTest::newRow("not a number") << 3 << u"8.2x"_qs << u"\"8.2x\""_qs;
        QTest::newRow("decay of zero") << 20 << u"0"_qs << u"w20"_qs;
        QTest::newRow("negative") << 8 << u"-1.5"_qs << u"-1.5"_qs;
        QTest::newRow("infinite") << 0 << u"inf"_qs << u"w0"_qs;
        QTest::newRow("missing one") << -1 << QString() << u"found 20"_qs;
    }
    void badWeightsAreRefused()
    {
        QFETCH(int, index);
        QFETCH(QString, value);
        QFETCH(QString, named);
        QStringList weights = weightsText(defaultFsrsWeights).split(u", "_qs);
        if (index < 0)
            weights.removeLast();
        else
            weights[index] = value;
        PreferencesDialog dialog(*fixture->coordinator);
        child<QPlainTextEdit>(dialog, "weights")->setPlainText(weights.join(u", "_qs));
        dialog.show();
        QVERIFY(!dialog.apply());
        QLabel *error = child<QLabel>(dialog, "preferencesError");
        QVERIFY(error->isVisible());
        QVERIFY2(error->text().contains(named), qPrintable(error->text()));
        QCOMPARE(fixture->coordinator->schedulerParameters().weights, defaultFsrsWeights);
        QVERIFY(!fixture->coordinator->preferences()->contains(u"scheduler/weights"_qs));
    }

    // Accepted values are stored and used by the scheduler at once, and read back at the next
    // start.
    void acceptedValuesAreStoredAndUsed()
    {
        FsrsWeights own = defaultFsrsWeights;
        own[0] = 0.5;
        PreferencesDialog dialog(*fixture->coordinator);
        child<QDoubleSpinBox>(dialog, "desiredRetention")->setValue(0.85);
        child<QSpinBox>(dialog, "newFacesPerDay")->setValue(7);
        child<QPlainTextEdit>(dialog, "weights")->setPlainText(weightsText(own));
        QVERIFY(dialog.apply());
        const SchedulerParameters &used = fixture->coordinator->schedulerParameters();
        QCOMPARE(used.desiredRetention, 0.85);
        QCOMPARE(used.newFacesPerDay, 7);
        QCOMPARE(used.weights, own);
        const SchedulerParameters stored =
            storedSchedulerParameters(*fixture->coordinator->preferences());
        QCOMPARE(stored.weights, own);
        QCOMPARE(stored.newFacesPerDay, 7);
        // The dialog opens on what is in force.
        PreferencesDialog again(*fixture->coordinator);
        QCOMPARE(child<QSpinBox>(again, "newFacesPerDay")->value(), 7);
        QCOMPARE(parseWeights(child<QPlainTextEdit>(again, "weights")->toPlainText(), nullptr),
                 own);
    }
};

QTEST_MAIN(TestPreferencesDialog)
#include "test_preferences_dialog.moc"
