// The drawing unit on small series with known answers.
#include <gtest/gtest.h>

#include "chart/chart_paint_parts.h"
#include "chart/chart_painter.h"
#include "tests/chart/chart_gui.h"

namespace tarnwick::chart {
namespace {

ChartColumn Bar(double open, double high, double low, double close, double volume = 0) {
    ChartColumn c;
    c.firstTime = c.lastTime = 37622.4;
    c.open = open;
    c.high = high;
    c.low = low;
    c.close = close;
    c.volume = volume;
    c.rows = 1;
    return c;
}

class ChartDrawing : public ::testing::Test {
  protected:
    void SetUp() override { testing::EnsureGui(); }
    const QSize size_{640, 400};
};

TEST_F(ChartDrawing, CandlesLandInTheirColoursAndWicksReachHighAndLow) {
    ChartSeries s;
    s.columns = {Bar(10, 13, 9, 12), Bar(12, 12.5, 9.5, 10)};  // rising, falling
    const QImage image = ChartImage(s, size_);
    const ChartLayout l = LayoutChart(s, size_);
    ASSERT_EQ(l.slotSpan, 2);
    for (int k = 0; k < 2; ++k) {
        const ChartColumn& c = s.columns[k];
        const QColor want = k == 0 ? colours::kUp : colours::kDown;
        const int x = l.SlotCentre(k);
        EXPECT_EQ(x, static_cast<int>(l.plot.left() + (k + 0.5) * l.plot.width() / 2)) << k;
        EXPECT_EQ(image.pixelColor(x, l.PriceY((c.open + c.close) / 2)), want) << k;
        EXPECT_EQ(image.pixelColor(x, l.PriceY(c.high)), want) << "wick top " << k;
        EXPECT_EQ(image.pixelColor(x, l.PriceY(c.low)), want) << "wick bottom " << k;
        EXPECT_NE(image.pixelColor(x, l.PriceY(c.high) - 2), want) << "above the high " << k;
        EXPECT_NE(image.pixelColor(x, l.PriceY(c.low) + 2), want) << "below the low " << k;
    }
}

TEST_F(ChartDrawing, TallestVolumeBarIsTheLargestVolume) {
    ChartSeries s;
    s.hasVolume = true;
    const double volumes[] = {300, 900, 100, 700, 500};
    for (double v : volumes) s.columns.push_back(Bar(10, 11, 9, 10.5, v));
    const QImage image = ChartImage(s, size_);
    const ChartLayout l = LayoutChart(s, size_);
    std::vector<int> heights;
    for (int k = 0; k < 5; ++k) {
        int h = 0;
        while (h < l.volume.height() &&
               image.pixelColor(l.SlotCentre(k), l.volume.bottom() - h) == colours::kUpLight) {
            ++h;
        }
        heights.push_back(h);
    }
    EXPECT_EQ(heights[1], l.volume.height());
    for (int k = 0; k < 5; ++k) {
        EXPECT_NEAR(heights[k], l.volume.height() * volumes[k] / 900, 1.5) << k;
    }
}

TEST_F(ChartDrawing, OneRowAndFlatSeriesDrawWithoutDividingByZero) {
    struct Case {
        const char* name;
        ChartStyle style;
        std::vector<ChartColumn> columns;
        QColor colour;
    };
    const Case cases[] = {
        {"one candle", ChartStyle::Candles, {Bar(4.5, 6, 4, 5.5, 0)}, colours::kUp},
        {"flat candles", ChartStyle::Candles, std::vector<ChartColumn>(50, Bar(7, 7, 7, 7, 0)),
         colours::kUp},
        {"one point", ChartStyle::Line, {Bar(5, 5, 5, 5)}, colours::kLine},
        {"flat line", ChartStyle::Line, std::vector<ChartColumn>(2000, Bar(0, 0, 0, 0, 0)),
         colours::kLine},
    };
    for (const Case& c : cases) {
        ChartSeries s;
        s.style = c.style;
        s.hasVolume = true;
        s.columns = c.columns;
        const ChartLayout l = LayoutChart(s, size_);
        EXPECT_LT(l.prices.low, l.prices.high) << c.name;
        EXPECT_TRUE(std::isfinite(l.prices.low) && std::isfinite(l.prices.high)) << c.name;
        const QImage image = ChartImage(s, size_);
        // The price sits in the middle of the pane, drawn in its colour.
        const int y = l.PriceY((s.columns[0].open + s.columns[0].close) / 2);
        EXPECT_NEAR(y, l.plot.center().y(), 2) << c.name;
        bool found = false;
        for (int dy = -2; dy <= 2 && !found; ++dy) {
            const QColor px = image.pixelColor(l.SlotCentre(0), y + dy);
            found = px.red() == c.colour.red() || px.blue() == c.colour.blue();
        }
        EXPECT_TRUE(found) << c.name;
    }
}

// Text, margins and lines grow with the picture; a log axis puts the geometric middle in the
// middle; the narrowest picture takes the subtitle's short form whole.
TEST_F(ChartDrawing, ScalesWithThePictureAndHasALogarithmicAxis) {
    EXPECT_DOUBLE_EQ(ChartScale(QSize(1200, 700)), 1.0);
    EXPECT_NEAR(ChartScale(QSize(3000, 1500)), 1500 / 700.0, 1e-12);
    EXPECT_DOUBLE_EQ(ChartScale(QSize(320, 200)), 0.75);
    EXPECT_NEAR(MinCandleWidth(QSize(3000, 1500)), 3 * 1500 / 700.0, 1e-12);
    const ChartLayout big = LayoutChart(ChartSeries{}, QSize(3000, 1500));
    EXPECT_EQ(big.plot.left(), 34);                // 16 pixels at 1200 x 700
    EXPECT_EQ(big.plot.width(), 3000 - 34 - 171);  // 80 for the price axis
    EXPECT_EQ(ChartFont(big, 12).pixelSize(), 26);

    ChartSeries s;
    s.logScale = true;
    s.columns = {Bar(10, 12, 10, 11), Bar(900, 1000, 900, 950)};
    const ChartLayout l = LayoutChart(s, size_);
    ASSERT_TRUE(l.prices.log);
    EXPECT_NEAR(l.PriceY(100), l.plot.center().y(), 1);
    EXPECT_NEAR(l.PriceAt(l.PriceY(31.6)), 31.6, 31.6 * 0.02);
    ASSERT_GE(l.prices.lines.size(), 3u);
    for (size_t i = 0; i < l.prices.lines.size(); ++i) {
        const double v = l.prices.lines[i];
        EXPECT_TRUE(v >= l.prices.low && v <= l.prices.high) << v;
        if (i > 0) {
            EXPECT_GT(v, l.prices.lines[i - 1]);
        }
    }
    // A price at or below 0 turns the axis linear rather than breaking it.
    s.columns.push_back(Bar(1, 1, -2, 1));
    EXPECT_FALSE(LayoutChart(s, size_).prices.log);

    ChartSeries heading;
    heading.subtitle =
        "2003-01-01 09:00  to  2026-12-07 18:07  \u00b7  3,671,641 rows  \u00b7  monthly candles";
    heading.shortSubtitles = {"2003-01-01 to 2026-12-07 \u00b7 3,671,641 rows \u00b7 1mo candles",
                              "2003-01-01 \u2013 2026-12-07 \u00b7 1mo", "1mo"};
    const QSize small(320, 200);
    const ChartLayout narrow = LayoutChart(heading, small);
    const QString fitted = FittingSubtitle(heading, narrow, 320 - 2 * narrow.plot.left());
    EXPECT_EQ(fitted.toStdString(), heading.shortSubtitles[0]);
    EXPECT_EQ(FittingSubtitle(heading, LayoutChart(heading, size_), 600).toStdString(),
              heading.subtitle);
    EXPECT_TRUE(FittingSubtitle(heading, narrow, 10).endsWith(QChar(0x2026)));
}

// In the window the columns scroll: the one under the pointer, the crosshair through its middle
// and the pointer's price on the axis.
TEST_F(ChartDrawing, CrosshairFollowsTheScrolledColumns) {
    ChartSeries s;
    for (int k = 0; k < 6; ++k) s.columns.push_back(Bar(10 + k, 11 + k, 9 + k, 10.5 + k));
    s.firstSlot = -1.5;  // a column and a half scrolled out on the left
    s.slotSpan = 4;
    const ChartLayout l = LayoutChart(s, size_);
    const double slot = l.plot.width() / 4.0;
    EXPECT_EQ(l.SlotAt(l.plot.left() + 1), 1);
    EXPECT_EQ(l.SlotAt(l.plot.left() + slot), 2);
    const QPoint pointer(static_cast<int>(l.plot.left() + 1.2 * slot), l.plot.center().y());
    EXPECT_EQ(HoveredColumn(s, l, pointer), 2);
    EXPECT_EQ(HoveredColumn(s, l, QPoint(pointer.x(), 5)), std::nullopt);  // over the heading
    // The price scale covers the columns in view (1 to 5), not the scrolled-out column 0.
    EXPECT_GT(l.prices.low, 9.0 - 0.5);

    QImage image(size_, QImage::Format_RGB32);
    QPainter p(&image);
    PaintChart(p, s, size_, pointer);
    p.end();
    int dashes = 0;
    for (int y = l.plot.top(); y <= l.plot.bottom(); ++y) {
        dashes += image.pixelColor(l.SlotCentre(2), y) == colours::kCrosshair ? 1 : 0;
    }
    EXPECT_GT(dashes, l.plot.height() / 4);
    EXPECT_EQ(image.pixelColor(l.plot.right() + l.Px(4), pointer.y()), colours::kCrosshair);
}

TEST(ChartScale, RoundStepsInCentsAndTimeMarksThatSuitTheSpan) {
    const PriceScale flat = MakePriceScale(30, 30, 400);
    EXPECT_LT(flat.low, 30);
    EXPECT_GT(flat.high, 30);
    const PriceScale tiny = MakePriceScale(30, 30.001, 400);
    EXPECT_EQ(tiny.step, 0.01);
    const PriceScale wide = MakePriceScale(30, 14764, 500);
    EXPECT_EQ(wide.step, 2000);
    EXPECT_EQ(PriceText(14764), "14,764.00");
    EXPECT_EQ(PriceText(-1234567.5), "-1,234,567.50");

    // Minute bars over three days: hour marks, the new days major.
    std::vector<ChartColumn> minutes;
    for (int day = 0; day < 3; ++day) {
        for (int m = 0; m < 420; m += 5) {
            ChartColumn c = Bar(1, 1, 1, 1);
            c.firstTime = c.lastTime = 37622 + day + (540 + m) / 1440.0;
            minutes.push_back(c);
        }
    }
    const auto marks = MakeTimeMarks(minutes, 1100.0 / minutes.size(), 84);
    ASSERT_FALSE(marks.empty());
    EXPECT_EQ(marks.front().text, "10:00");
    const auto day =
        std::find_if(marks.begin(), marks.end(), [](const TimeMark& m) { return m.major; });
    ASSERT_NE(day, marks.end());
    EXPECT_EQ(day->text, "2 Jan");
    EXPECT_EQ(day->column, 84);
}

}  // namespace
}  // namespace tarnwick::chart
