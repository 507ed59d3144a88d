// The main view drawn offscreen: the diagram's hit regions at a 1000 × 623 client,
// the element under a point, and the signals of hover and double-click.
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

#include <optional>
#include <vector>

using namespace tarn;

namespace {

constexpr int WIDTH = 1000;
constexpr int HEIGHT = 623;

// The elements of the regions the diagram of c registers at a 1000 × 623 client, in drawing order.
std::vector<int> DiagramElements(const SystemConfiguration& c)
{
    QImage image(WIDTH, HEIGHT, QImage::Format_RGB32);
    HitRegionTable regions;
    QPainter p(&image);
    DrawSystemDiagram(p, CreateViewResources(10), ComputeViewLayout(WIDTH, HEIGHT), c, regions);
    std::vector<int> elements;
    for (const HitRegion& r : regions.Regions()) elements.push_back(r.element);
    return elements;
}

} // namespace

class MainViewTests : public QObject {
    Q_OBJECT
    SilentUserInterface ui_;
    std::optional<AppState> state;

private slots:
    void init()
    {
        state.emplace(ui_);
        SetLanguage(LANGUAGE_ENGLISH);
    }

    // Units 2..4 are empty positions.
    void diagramFollowsTheConfiguration()
    {
        const std::vector<int> lines{1, 60, 61, 61, 62, 62}, secondary(5, 63), repeater(5, 64), empty{20, 30, 40};
        const auto join = [](std::initializer_list<std::vector<int>> parts) {
            std::vector<int> all;
            for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
            return all;
        };
        // Unit 1's type and expansions, the line use, the repeaters, and the regions' elements.
        const std::tuple<int, int, int, int, std::vector<int>, const char*> rows[] = {
            {3, 3, 0, 0, join({lines, secondary, {10}, empty}), "KX927 ignores its expansions"},
            {2, 1, 1, 0, join({lines, repeater, empty}), "KX914 as a unit draws nothing"},
            {0, 0, 3, 1, join({lines, secondary, repeater, {10}, empty, {50, 66}}), "no unit: one box; invalid repeater"},
            {1, 2, 0, 0, join({lines, secondary, {10, 11, 65, 12, 65}, empty}), "KX913 with two expansions"},
            {1, 0, 7, 9, join({lines, {10}, empty, {50, 66, 51, 66, 52, 66, 53, 66}}), "line use out of range: no line"},
        };
        for (const auto& [type, expansions, cable, repeaters, ids, what] : rows) {
            SystemConfiguration c{};
            c.units[0].SLAVE_TYPE = type;
            c.units[0].SLAVE_EXP = expansions;
            c.MASTER_CABLE = cable;
            c.MASTER_REPT = repeaters;
            QVERIFY2(DiagramElements(c) == ids, what);
        }
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

    // The element under a point, by hit test, hover and double-click of the view.
    void elementUnderAPoint()
    {
        // Every box, both field lines, four repeaters: the 52 regions of a full diagram.
        state->current = testing::FullInstallation(testing::FOUR_FULL_KX913);
        state->current.MASTER_CABLE = 2;
        state->current.MASTER_REPT = 4;
        MainView view(*state);
        view.resize(WIDTH, HEIGHT);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.RepaintNow();
        const std::tuple<int, int, int, const char*> rows[] = {
            {170, 435, 1, "gateway inside"},
            {260, 435, 1, "gateway over the repeater cable's start"},
            {40, 438, 60, "serial cable"},
            {185, 525, 61, "secondary drop over the primary bus"},
            {475, 51, 11, "module over the expander cable"},
            {460, 51, 65, "expander cable"},
            {900, 435, 53, "repeater 3"},
            {462, 435, 66, "repeater cable between repeaters"},
            {990, 500, 0, "nothing"},
        };
        for (const auto& [x, y, element, what] : rows) QVERIFY2(view.HitTestElement(x, y) == element, what);
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
