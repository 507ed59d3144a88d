// The main view drawn offscreen: the diagram's hit regions at a 1000 × 623 client,
// the element under a point, pixels of the primitives, the panels' cells and their
// updates, the status bar, and the signals of hover and double-click.
#include "support/sample_installation.h"

#include "config/app_state.h"
#include "text/texts.h"
#include "view/main_view.h"
#include "view/view_draw.h"
#include "view/view_layout.h"

#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <memory>

#include <vector>

using namespace tarn;

Q_DECLARE_METATYPE(std::vector<int>)

namespace {

constexpr int WIDTH = 1000;
constexpr int HEIGHT = 623;

// Every box, both field lines, four repeaters: the 52 regions of a full diagram.
SystemConfiguration FullDiagram()
{
    SystemConfiguration c = testing::FullInstallation(testing::FOUR_FULL_KX913);
    c.MASTER_CABLE = 2;
    c.MASTER_REPT = 4;
    return c;
}

// The regions the diagram of c registers at a 1000 × 623 client.
HitRegionTable DrawDiagram(const SystemConfiguration& c)
{
    QImage image(WIDTH, HEIGHT, QImage::Format_RGB32);
    HitRegionTable regions;
    QPainter p(&image);
    DrawSystemDiagram(p, CreateViewResources(10), ComputeViewLayout(WIDTH, HEIGHT), c, regions);
    return regions;
}

std::vector<int> Ids(const HitRegionTable& t)
{
    std::vector<int> ids;
    for (const HitRegion& r : t.Regions()) ids.push_back(r.element);
    return ids;
}

QRgb PixelAt(const QImage& image, int x, int y)
{
    const QRgb p = image.pixel(x, y);
    return qRgb(qRed(p), qGreen(p), qBlue(p));
}

// Pixels of exactly this colour inside [left, right) × [top, bottom).
int CountColour(const QImage& image, const QRect& r, QRgb colour)
{
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += PixelAt(image, x, y) == colour;
    return n;
}

int CountDark(const QImage& image, const QRect& r)
{
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += qGray(image.pixel(x, y)) < 100;
    return n;
}

QRect Q(const Rect& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }

// A view of the test's client size, painted once; on screen when shown is set.
class PaintedView : public MainView {
public:
    explicit PaintedView(AppState& state, bool shown = false) : MainView(state)
    {
        resize(WIDTH, HEIGHT);
        if (shown) {
            show();
            if (!QTest::qWaitForWindowExposed(this)) qFatal("the view was never exposed");
        }
        RepaintNow();
    }
};

} // namespace

class MainViewTests : public QObject {
    Q_OBJECT
    SilentUserInterface ui_;
    std::unique_ptr<AppState> owned_;
    AppState* state = nullptr;

private slots:
    // A fresh state for each test.
    void init()
    {
        owned_ = std::make_unique<AppState>(ui_);
        state = owned_.get();
        SetLanguage(LANGUAGE_ENGLISH);
    }

    void fullDiagramRegistersInDrawingOrder()
    {
        const HitRegionTable regions = DrawDiagram(FullDiagram());
        std::vector<int> expected{1, 60, 61, 61, 62, 62, 63, 63, 63, 63, 63, 64, 64, 64, 64, 64};
        for (int u = 1; u <= 4; ++u)
            for (int m = 0; m < 4; ++m) {
                expected.push_back(10 * u + m);
                if (m > 0) expected.push_back(65);
            }
        for (int r = 0; r < 4; ++r) expected.insert(expected.end(), {50 + r, 66});
        QCOMPARE(Ids(regions), expected);
        QCOMPARE(int(regions.Regions().size()), 52);

        const auto& r = regions.Regions();
        QVERIFY(r[0].rect == (Rect{80, 390, 260, 480}));
        QVERIFY(r[1].rect == (Rect{0, 432, 80, 438}));    // serial cable, middle half of 13
        QVERIFY(r[2].rect == (Rect{0, 522, 1000, 528}));  // primary Modbus bus at y 525
        QVERIFY(r[3].rect == (Rect{153, 480, 157, 525})); // its drop at x 155
        QVERIFY(r[4].rect == (Rect{0, 552, 1000, 558}));  // secondary bus at y 555
        QVERIFY(r[5].rect == (Rect{183, 480, 187, 555})); // its drop at x 185
        QVERIFY(r[16].rect == (Rect{300, 12, 450, 85}));  // unit 1, base module
        QVERIFY(r[17].rect == (Rect{475, 12, 625, 85}));  // unit 1, first expansion
        QVERIFY(r[23].rect == (Rect{300, 108, 450, 181}));
        QVERIFY(r[44].rect == (Rect{300, 405, 450, 465})); // repeater 0
        QVERIFY(r[45].rect == (Rect{260, 433, 300, 437})); // its cable from the gateway's right edge
    }

    void elementUnderAPoint_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("element");
        QTest::newRow("gateway inside") << 170 << 435 << 1;
        QTest::newRow("gateway over the serial cable's end") << 80 << 435 << 1;
        QTest::newRow("gateway over the repeater cable's start") << 260 << 435 << 1;
        QTest::newRow("gateway over the Modbus drop") << 155 << 480 << 1;
        QTest::newRow("serial cable") << 40 << 438 << 60;
        QTest::newRow("serial cable outside its middle half") << 40 << 439 << 0;
        QTest::newRow("secondary drop over the primary bus") << 185 << 525 << 61;
        QTest::newRow("secondary drop below the primary bus") << 185 << 540 << 62;
        QTest::newRow("field branch over the box edge") << 300 << 36 << 63;
        QTest::newRow("module over the expander cable") << 475 << 51 << 11;
        QTest::newRow("expander cable") << 460 << 51 << 65;
        QTest::newRow("last expansion of unit 4") << 975 << 373 << 43;
        QTest::newRow("repeater 3") << 900 << 435 << 53;
        QTest::newRow("repeater cable between repeaters") << 462 << 435 << 66;
        QTest::newRow("nothing") << 990 << 500 << 0;
    }
    void elementUnderAPoint()
    {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(int, element);
        QCOMPARE(DrawDiagram(FullDiagram()).HitTestElement(x, y), element);
    }

    void diagramFollowsTheConfiguration_data()
    {
        QTest::addColumn<int>("unitType");
        QTest::addColumn<int>("expansions");
        QTest::addColumn<int>("cable");
        QTest::addColumn<int>("repeaters");
        QTest::addColumn<std::vector<int>>("ids");
        // Unit 1 varies; units 2..4 are empty positions.
        const std::vector<int> empty{20, 30, 40};
        auto with = [&](std::vector<int> head, std::vector<int> tail) {
            head.insert(head.end(), tail.begin(), tail.end());
            return head;
        };
        QTest::newRow("KX927 ignores its expansions")
            << 3 << 3 << 0 << 0 << with({1, 60, 61, 61, 62, 62, 63, 63, 63, 63, 63, 10}, empty);
        QTest::newRow("KX914 as a unit draws nothing")
            << 2 << 1 << 1 << 0 << with({1, 60, 61, 61, 62, 62, 64, 64, 64, 64, 64}, empty);
        QTest::newRow("no unit, one box; repeater invalid")
            << 0 << 0 << 3 << 1
            << with(with({1, 60, 61, 61, 62, 62, 63, 63, 63, 63, 63, 64, 64, 64, 64, 64, 10}, empty), {50, 66});
        QTest::newRow("KX913 with two expansions")
            << 1 << 2 << 0 << 0 << with({1, 60, 61, 61, 62, 62, 63, 63, 63, 63, 63, 10, 11, 65, 12, 65}, empty);
        QTest::newRow("line use out of range draws no field line")
            << 1 << 0 << 7 << 9 << with(with({1, 60, 61, 61, 62, 62, 10}, empty), {50, 66, 51, 66, 52, 66, 53, 66});
    }
    void diagramFollowsTheConfiguration()
    {
        QFETCH(int, unitType);
        QFETCH(int, expansions);
        QFETCH(int, cable);
        QFETCH(int, repeaters);
        QFETCH(std::vector<int>, ids);
        SystemConfiguration c{};
        c.units[0].SLAVE_TYPE = unitType;
        c.units[0].SLAVE_EXP = expansions;
        c.MASTER_CABLE = cable;
        c.MASTER_REPT = repeaters;
        QCOMPARE(Ids(DrawDiagram(c)), ids);
    }

    void primitivesPaintTheirPixels()
    {
        QImage image(100, 60, QImage::Format_RGB32);
        image.fill(Qt::white);
        HitRegionTable regions;
        {
            QPainter p(&image);
            DrawBevelBox(p, {10, 10, 40, 30}, BEVEL_RAISED | 3);
            DrawBevelBox(p, {50, 10, 80, 30}, BEVEL_SUNKEN | 2);
            DrawHorizontalCable(p, regions, 0, 90, 45, 13, {130, 200, 130}, CABLE_BEVEL_END, 60);
        }
        // Raised: light left and top, dark right and bottom, both edges painted; 3 rings.
        QCOMPARE(PixelAt(image, 10, 20), qRgb(235, 235, 235));
        QCOMPARE(PixelAt(image, 20, 30), qRgb(155, 155, 155));
        QCOMPARE(PixelAt(image, 38, 20), qRgb(155, 155, 155));
        QCOMPARE(PixelAt(image, 37, 20), qRgb(210, 210, 210));
        QCOMPARE(PixelAt(image, 41, 20), qRgb(255, 255, 255));
        // Sunken: dark left and top, light right and bottom.
        QCOMPARE(PixelAt(image, 50, 20), qRgb(125, 125, 125));
        QCOMPARE(PixelAt(image, 80, 20), qRgb(245, 245, 245));
        QCOMPARE(PixelAt(image, 52, 20), qRgb(200, 200, 200));
        // Cable: pure on the centre line, lighter above, darker below, right end bevelled.
        QCOMPARE(PixelAt(image, 30, 45), qRgb(130, 200, 130));
        QCOMPARE(PixelAt(image, 30, 39), qRgb(205, 233, 205));
        QCOMPARE(PixelAt(image, 30, 51), qRgb(131, 159, 131));
        QCOMPARE(PixelAt(image, 85, 51), qRgb(255, 255, 255));
        QCOMPARE(PixelAt(image, 84, 51), qRgb(131, 159, 131));
    }

    void progressIsClampedAndDrawnByExclusiveOr_data()
    {
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("barPixels");
        const int rows = 618 - 607;
        QTest::newRow("none") << 0 << 0 << 0;
        QTest::newRow("half") << 50 << 50 << (761 - 688) * rows;
        QTest::newRow("full") << 100 << 100 << (833 - 688) * rows;
        QTest::newRow("above range") << 180 << 100 << (833 - 688) * rows;
    }
    void progressIsClampedAndDrawnByExclusiveOr()
    {
        QFETCH(int, percent);
        QFETCH(int, stored);
        QFETCH(int, barPixels);
        PaintedView view(*state);
        view.SetProgress(percent);
        QCOMPARE(view.Progress(), stored);
        const QImage& screen = view.Screen();
        const QRect field(685, 604, 151, 18);
        // The grey field under the bar turns (200,200,200) xor (255,255,0); black text turns yellow.
        const int xored = CountColour(screen, field, qRgb(55, 55, 200));
        if (barPixels == 0) {
            QCOMPARE(xored, 0);
            QCOMPARE(CountDark(screen, field), 0);  // no text either
        } else {
            QVERIFY(xored <= barPixels && xored > barPixels * 3 / 4);  // less the text it covers
            QCOMPARE(PixelAt(screen, 688, 612), qRgb(55, 55, 200));
            QCOMPARE(PixelAt(screen, 687, 612), qRgb(200, 200, 200));
        }
        if (stored == 100) {
            QCOMPARE(PixelAt(screen, 832, 612), qRgb(55, 55, 200));
            QCOMPARE(PixelAt(screen, 833, 612), qRgb(200, 200, 200));
            QVERIFY(CountColour(screen, field, qRgb(255, 255, 0)) > 0);
        }
        view.SetProgress(0);
        QCOMPARE(CountColour(view.Screen(), field, qRgb(55, 55, 200)), 0);
    }

    void messageLivesUntilTheNextRepaint()
    {
        PaintedView view(*state, true);
        const QRect text(9, 606, 200, 13);
        QCOMPARE(CountDark(view.Screen(), text), 0);
        view.SetStatusMessage("Gateway KX940");
        QVERIFY(CountDark(view.Screen(), text) > 20);
        view.update();
        QVERIFY(CountDark(view.grab().toImage(), text) > 20);  // an expose shows it again
        view.RepaintNow();
        QCOMPARE(CountDark(view.Screen(), text), 0);
        QCOMPARE(CountDark(view.grab().toImage(), text), 0);
    }

    void panelPaintDrawsTheCellsInUse()
    {
        state->mode = AppMode::ModbusTest;
        state->gateway.units[0].SLAVE_TYPE = UNIT_KX913;
        state->gateway.units[0].SLAVE_EXP = 2;
        state->gateway.units[0].channels[0].word = 0x0001;
        PaintedView view(*state);
        const ViewLayout layout = ComputeViewLayout(WIDTH, HEIGHT);
        auto cell = [&](int channel) { return ChannelCellRect(layout.panels[0], layout.panelHeader, UNIT_KX913, channel); };
        const QImage& s = view.Screen();
        QCOMPARE(PixelAt(s, cell(47).left + 1, cell(47).top + 1), qRgb(255, 255, 200));  // tag band
        QCOMPARE(PixelAt(s, cell(47).left, cell(47).top + 1), qRgb(0, 0, 0));            // frame
        QCOMPARE(PixelAt(s, cell(48).left + 1, cell(48).top + 1), qRgb(210, 210, 210));  // absent expansion
        QCOMPARE(CountDark(s, Q(ValueBandRect(cell(0), 14)).adjusted(1, 1, -1, -1)), 0);  // nothing read yet
        QCOMPARE(CountDark(s, Q(ValueBandRect(cell(1), 14)).adjusted(1, 1, -1, -1)), 0);  // off: blank
        QCOMPARE(view.HitTestElement(170, 435), 0);  // nothing to hover in a live test
    }

    void cellUpdatesRedrawOnlyTheirCell_data()
    {
        QTest::addColumn<int>("unit");
        QTest::addColumn<int>("channel");
        QTest::addColumn<uint>("group");  // live value of the channel's group record (digital)
        QTest::addColumn<int>("flag");
        QTest::addColumn<QRgb>("inner");
        QTest::newRow("analog polled: red") << 0 << 17 << 0u << 2 << qRgb(255, 0, 0);
        QTest::newRow("analog blank") << 0 << 17 << 0u << 0 << qRgb(255, 255, 255);
        QTest::newRow("digital 13 on") << 1 << 13 << (1u << 5) << 1 << qRgb(255, 255, 0);
        QTest::newRow("digital 13 short") << 1 << 13 << 0x2020u << 1 << qRgb(255, 0, 0);
        QTest::newRow("digital 13 off") << 1 << 13 << 0u << 1 << qRgb(224, 224, 224);
        QTest::newRow("digital 13 blank") << 1 << 13 << (1u << 5) << 0 << qRgb(224, 224, 224);
    }
    void cellUpdatesRedrawOnlyTheirCell()
    {
        QFETCH(int, unit);
        QFETCH(int, channel);
        QFETCH(uint, group);
        QFETCH(int, flag);
        QFETCH(QRgb, inner);
        state->mode = AppMode::SerialTest;
        state->gateway = testing::FullInstallation();  // KX913 (3 expansions), none, KX927, KX913
        std::swap(state->gateway.units[1], state->gateway.units[2]);
        PaintedView view(*state);
        const QImage before = view.Screen().copy();
        state->gateway.units[unit].channels[channel].live_value = 1234;
        state->gateway.units[unit].channels[channel / 8].live_value = group;
        state->gateway.units[unit].channels[channel].live_state = LIVE_READ;
        state->gateway.units[unit].channels[channel / 8].live_state = LIVE_READ;
        if (unit == 0) view.DrawAnalogValue(unit, channel, flag);
        else view.DrawDigitalState(unit, channel, flag);
        const QImage& after = view.Screen();

        const ViewLayout layout = ComputeViewLayout(WIDTH, HEIGHT);
        const Rect cell = ChannelCellRect(layout.panels[unit], layout.panelHeader,
                                          state->gateway.units[unit].SLAVE_TYPE, channel);
        const Rect probe = unit == 0 ? ValueBandRect(cell, 14) : DigitalStateRect(cell, 14);
        QCOMPARE(PixelAt(after, probe.left + 1, probe.bottom - 2), inner);
        const QRect changed = Q(cell);
        for (int y = 0; y < HEIGHT; y += 3)
            for (int x = 0; x < WIDTH; x += 3)
                if (!changed.contains(x, y)) QCOMPARE(after.pixel(x, y), before.pixel(x, y));
    }

    // A cell shows a value only when it was read: black when read, grey when its latest read
    // failed, nothing when it was never read.
    void cellsShowOnlyValuesRead_data()
    {
        QTest::addColumn<int>("unit");
        QTest::addColumn<uint>("live");
        QTest::addColumn<bool>("black");
        QTest::addColumn<bool>("grey");
        QTest::newRow("analog read") << 0 << LIVE_READ << true << false;
        QTest::newRow("analog stale") << 0 << LIVE_STALE << false << true;
        QTest::newRow("digital stale") << 1 << LIVE_STALE << false << true;
    }
    void cellsShowOnlyValuesRead()
    {
        QFETCH(int, unit);
        QFETCH(uint, live);
        QFETCH(bool, black);
        QFETCH(bool, grey);
        state->mode = AppMode::ModbusTest;
        state->gateway = testing::FullInstallation();
        std::swap(state->gateway.units[1], state->gateway.units[2]);
        PaintedView view(*state);
        ChannelRecord& record = state->gateway.units[unit].channels[0];
        record.live_value = 0x0001;  // analog 1 raw; digital channel 0 on
        record.live_state = live;
        if (unit == 0) view.DrawAnalogValue(unit, 0, 1);
        else view.DrawDigitalState(unit, 0, 1);

        const ViewLayout layout = ComputeViewLayout(WIDTH, HEIGHT);
        const Rect cell = ChannelCellRect(layout.panels[unit], layout.panelHeader, state->gateway.units[unit].SLAVE_TYPE, 0);
        const QRect inside = Q(unit == 0 ? ValueBandRect(cell, 14) : DigitalStateRect(cell, 14)).adjusted(1, 1, -1, -1);
        int greyish = 0;  // text pixels of the grey pen, antialiased edges included
        for (int y = inside.top(); y <= inside.bottom(); ++y)
            for (int x = inside.left(); x <= inside.right(); ++x) {
                const int g = qGray(view.Screen().pixel(x, y));
                greyish += g >= 100 && g < 200;
            }
        QCOMPARE(CountDark(view.Screen(), inside) > 0, black);
        if (!black) QCOMPARE(greyish > 0, grey);
    }

    void repaintResetsLiveValuesAndExposeDoesNot()
    {
        state->mode = AppMode::ModbusTest;
        state->gateway = testing::FullInstallation();  // unit 1 KX913 with 3 expansions, unit 3 KX927
        for (UnitRecord& u : state->gateway.units)
            for (ChannelRecord& c : u.channels) c.live_value = 99;
        MainView view(*state);
        view.resize(WIDTH, HEIGHT);
        view.grab();
        QCOMPARE(state->gateway.units[0].channels[63].live_value, 99u);
        view.RepaintNow();
        QCOMPARE(state->gateway.units[0].channels[63].live_value, 0u);
        QCOMPARE(state->gateway.units[2].channels[31].live_value, 0u);
        QCOMPARE(state->gateway.units[2].channels[32].live_value, 99u);  // not drawn
        QCOMPARE(state->gateway.units[1].channels[0].live_value, 99u);   // empty position
        state->mode = AppMode::Idle;
        state->gateway.units[0].channels[0].live_value = 5;
        view.RepaintNow();
        QCOMPARE(state->gateway.units[0].channels[0].live_value, 5u);    // the diagram resets nothing
        const QImage diagram = view.Screen().copy();
        view.DrawAnalogValue(0, 0, 2);                                   // no cells on the diagram
        QCOMPARE(view.Screen(), diagram);
    }

    void viewWithoutAreaDrawsNothing()
    {
        QTest::failOnWarning(QRegularExpression("QPainter"));
        MainView view(*state);
        view.resize(0, 0);
        view.RepaintNow();
        view.SetStatusMessage("x");
        view.SetProgress(50);
        QVERIFY(view.Screen().isNull());
        QCOMPARE(view.HitTestElement(0, 0), 0);
    }

    void hoverAndDoubleClickNameTheElement()
    {
        state->current = FullDiagram();
        PaintedView view(*state, true);
        QSignalSpy hovered(&view, &MainView::ElementHovered);
        QSignalSpy clicked(&view, &MainView::ElementDoubleClicked);
        QTest::mouseMove(&view, QPoint(170, 435));
        QTest::mouseMove(&view, QPoint(475, 51));
        QTest::mouseMove(&view, QPoint(990, 500));
        QCOMPARE(hovered.count(), 3);
        QCOMPARE(hovered[0][0].toInt(), 1);
        QCOMPARE(hovered[1][0].toInt(), 11);
        QCOMPARE(hovered[2][0].toInt(), 0);
        QTest::mouseDClick(&view, Qt::LeftButton, {}, QPoint(900, 435));
        QTest::mouseDClick(&view, Qt::LeftButton, {}, QPoint(40, 435));
        QTest::mouseDClick(&view, Qt::RightButton, {}, QPoint(170, 435));
        QCOMPARE(clicked.count(), 2);
        QCOMPARE(clicked[0][0].toInt(), 53);
        QCOMPARE(clicked[1][0].toInt(), 60);
    }
};

QTEST_MAIN(MainViewTests)
#include "main_view_tests.moc"
