#include "../app/window_test_support.h"

#include "core/store/review_journal.h"
#include "ui/stats/bar_chart.h"
#include "ui/stats/heatmap_chart.h"
#include "ui/stats/retention_chart.h"
#include "ui/stats/statistics_window.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPainter>

namespace {

const QColor lightGreen(0x34, 0xC7, 0x59);
const QColor darkGreen(0x30, 0xD1, 0x58);

QPalette darkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x1e, 0x1e, 0x1e));
    palette.setColor(QPalette::Base, QColor(0x28, 0x28, 0x28));
    palette.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
    palette.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    palette.setColor(QPalette::PlaceholderText, QColor(0x99, 0x99, 0x99));
    return palette;
}

// The widget drawn at a device pixel ratio, as on a high-density screen.
QImage render(QWidget &widget, qreal ratio = 1)
{
    QImage image(widget.size() * ratio, QImage::Format_ARGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(widget.palette().color(QPalette::Window));
    widget.render(&image);
    return image;
}

QColor pixel(const QImage &image, QPointF point)
{
    const qreal ratio = image.devicePixelRatio();
    return image.pixelColor((point * ratio).toPoint());
}

} // namespace

// Each chart drawn offscreen: a few pixels and what it tells assistive technology.
class TestStatisticsCharts : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowFixture> m_fixture;

private Q_SLOTS:
    void init() { m_fixture = std::make_unique<WindowFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void barsFollowPaletteAndScale_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("light") << false << 1.0;
        QTest::newRow("dark") << true << 1.0;
        QTest::newRow("light, twice the pixels") << false << 2.0;
    }
    void barsFollowPaletteAndScale()
    {
        QFETCH(bool, dark);
        QFETCH(qreal, ratio);
        BarChart chart;
        if (dark)
            chart.setPalette(darkPalette());
        chart.resize(300, 120);
        chart.setBars(u"Due"_qs, {0, 5, 10}, {u"a"_qs, u"b"_qs, u"c"_qs});
        const QImage image = render(chart, ratio);
        QCOMPARE(image.width(), int(300 * ratio));
        // The highest bar fills its track; the empty one shows only the track.
        const QColor green = dark ? darkGreen : lightGreen;
        QCOMPARE(pixel(image, {250, 60}), green);
        QCOMPARE(pixel(image, {150, 90}), green);
        QVERIFY(pixel(image, {150, 30}) != green);
        QVERIFY(pixel(image, {50, 60}) != green);
        QCOMPARE(chart.barAt({250, 60}), 2);
        QCOMPARE(chart.accessibleDescription(), u"Due. a: 0; b: 5; c: 10"_qs);
    }

    void heatmapShowsDaysAndOutlinesToday()
    {
        HeatmapChart chart;
        chart.resize(53 * 12, 7 * 12 + 30);
        const QDate today(2026, 6, 10);
        QList<int> reviews(365, 0), correct(365, 0);
        reviews[364 - 3] = 8; // three days ago
        correct[364 - 3] = 6;
        reviews[364 - 10] = 1;
        chart.setDays(today, reviews, correct);
        const QImage image = render(chart);
        QCOMPARE(pixel(image, chart.cellRect(today.addDays(-3)).center()), lightGreen);
        const QColor light = pixel(image, chart.cellRect(today.addDays(-10)).center());
        const QColor empty = pixel(image, chart.cellRect(today.addDays(-20)).center());
        QVERIFY(light != lightGreen && light != empty);
        // Today has no reviews, but its outline is drawn in the text colour.
        const QRectF cell = chart.cellRect(today);
        QCOMPARE(pixel(image, {cell.center().x(), cell.top() + 1}),
                 chart.palette().color(QPalette::Text));
        QCOMPARE(chart.dayAt(chart.cellRect(today.addDays(-3)).center().toPoint()),
                 today.addDays(-3));
        QVERIFY(chart.cellRect(today.addDays(1)).isEmpty());
        QVERIFY2(chart.accessibleDescription().startsWith(
                     u"Reviews per day over the last 12 months: 9 reviews on 2 days."_qs),
                 qPrintable(chart.accessibleDescription()));
    }

    void retentionAgainstTheDesiredLine()
    {
        RetentionChart chart;
        chart.resize(300, 150);
        QList<MonthRetention> months;
        for (int m = 1; m <= 12; ++m)
            months.append({QDate(2025, m, 1), 0, 0});
        months[10] = {QDate(2025, 11, 1), 10, 10}; // all recalled
        months[11] = {QDate(2025, 12, 1), 10, 6};  // below the desired 90 %
        chart.setMonths(months, 0.9);
        const QImage image = render(chart);
        QCOMPARE(pixel(image, {chart.xOf(10), chart.yOf(0.95)}), lightGreen);
        QCOMPARE(pixel(image, {chart.xOf(11), chart.yOf(0.55)}), QColor(0xFF, 0x95, 0x00));
        QVERIFY(pixel(image, {chart.xOf(11), chart.yOf(0.65)}) != QColor(0xFF, 0x95, 0x00));
        // No bar for a month without reviews; the desired line crosses it.
        QVERIFY(pixel(image, {chart.xOf(3), chart.yOf(0.7)}) != lightGreen);
        bool lineFound = false;
        for (int x = 0; x < 300 && !lineFound; ++x)
            lineFound =
                pixel(image, {qreal(x), chart.yOf(0.9)}) == chart.palette().color(QPalette::Text);
        QVERIFY(lineFound);
        QVERIFY2(chart.accessibleDescription().contains(u"Dec 2025: 60.0\u00a0% (reviews: 10)"_qs),
                 qPrintable(chart.accessibleDescription()));
    }
};

QTEST_MAIN(TestStatisticsCharts)
#include "test_statistics_charts.moc"
