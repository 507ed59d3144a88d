// The main view drawn offscreen: the diagram's hit regions at a 1000 × 623 client,
// the element under a point, the reset of the live values, and the signals of hover
// and double-click.
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

    void elementUnderAPoint_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("element");
        QTest::newRow("gateway inside") << 170 << 435 << 1;
        QTest::newRow("gateway over the repeater cable's start") << 260 << 435 << 1;
        QTest::newRow("serial cable") << 40 << 438 << 60;
        QTest::newRow("secondary drop over the primary bus") << 185 << 525 << 61;
        QTest::newRow("module over the expander cable") << 475 << 51 << 11;
        QTest::newRow("expander cable") << 460 << 51 << 65;
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

    void noCellsOnTheDiagram()
    {
        state->mode = AppMode::Idle;
        state->gateway = testing::FullInstallation();
        MainView view(*state);
        view.resize(WIDTH, HEIGHT);
        view.RepaintNow();
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
        MainView view(*state);
        view.resize(WIDTH, HEIGHT);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.RepaintNow();
        QSignalSpy hovered(&view, &MainView::ElementHovered);
        QSignalSpy clicked(&view, &MainView::ElementDoubleClicked);
        QTest::mouseMove(&view, QPoint(475, 51));
        QTest::mouseMove(&view, QPoint(990, 500));
        QCOMPARE(hovered, (QList<QList<QVariant>>{{11}, {0}}));
        QTest::mouseDClick(&view, Qt::LeftButton, {}, QPoint(900, 435));
        QTest::mouseDClick(&view, Qt::RightButton, {}, QPoint(170, 435));
        QCOMPARE(clicked, (QList<QList<QVariant>>{{53}}));
    }
};

QTEST_MAIN(MainViewTests)
#include "main_view_tests.moc"
