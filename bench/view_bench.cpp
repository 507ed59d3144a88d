// How long the main view takes to paint the system diagram and the four unit
// panels of a full installation (four KX913 with three expansions, four
// repeaters, both field lines) into an offscreen 1200 × 800 image (the panels
// with their channel tags, as in the serial live test), and the process's peak
// memory. Prints figures; exits non-zero only when it cannot run.
//
//   tarn-bench-view [--paints N] [--shots DIR [--config FILE.mcf]]
//
// --shots also writes what the view shows into DIR as PNG pictures, in English
// and Italian: the diagram of the full installation and of FILE.mcf, and panels
// of a KX913 with two expansions, a KX927, an empty position and a full KX913.

#include "../tests/support/sample_installation.h"
#include "config/app_state.h"
#include "config/config_file.h"
#include "text/texts.h"
#include "view/main_view.h"
#include "view/view_draw.h"
#include "view/view_layout.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <time.h>

namespace {

using namespace tarn;
using Clock = std::chrono::steady_clock;

constexpr int WIDTH = 1200;
constexpr int HEIGHT = 800;
constexpr int CELL_FONT_HEIGHT = 13;  // of an 800-pixel main window

// Plausible readings: a different value in every cell, digital states with faults.
void FillLiveValues(SystemConfiguration& image)
{
    for (int u = 0; u < UNIT_COUNT; ++u)
        for (int c = 0; c < CHANNEL_COUNT; ++c)
            image.units[u].channels[c].live_value =
                image.units[u].SLAVE_TYPE == UNIT_KX927 ? 0x0F35u >> (c % 3) : static_cast<std::uint32_t>((c * 977 + u * 131) % 65536);
}

SystemConfiguration BenchInstallation()
{
    SystemConfiguration c = testing::FullInstallation(testing::FOUR_FULL_KX913);
    c.MASTER_CABLE = 2;
    c.MASTER_REPT = 4;
    FillLiveValues(c);
    return c;
}

double ThreadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Timing {
    double cpu, wall;  // medians of one paint, ms
};

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// n paints after one that warms the caches. The processor time of the painting thread is
// the paint's cost; the wall-clock time also holds what other work on the machine took.
Timing TimePaints(int n, const std::function<void()>& paint)
{
    paint();
    std::vector<double> cpu, wall;
    cpu.reserve(n);
    wall.reserve(n);
    for (int i = 0; i < n; ++i) {
        const auto start = Clock::now();
        const double startCpu = ThreadCpuMs();
        paint();
        cpu.push_back(ThreadCpuMs() - startCpu);
        wall.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return {Median(cpu), Median(wall)};
}

long PeakMemoryKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

void WriteShot(MainView& view, const QString& path)
{
    if (!view.Screen().save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    else std::printf("wrote %s\n", qPrintable(path));
}

void WriteShots(const QString& dir, const std::string& configPath)
{
    QDir().mkpath(dir);
    SilentUserInterface ui;
    AppState state(ui);
    SystemConfiguration file{};
    bool haveFile = false;
    if (!configPath.empty()) {
        BuildDefaultConfiguration(file);
        haveFile = ParseConfigurationFile(configPath, file).ok();
        if (!haveFile) std::fprintf(stderr, "cannot read %s\n", configPath.c_str());
    }
    SystemConfiguration panels = testing::FullInstallation(
        {{{UNIT_KX913, 2, 0}, {UNIT_KX927, 0, 0}, {UNIT_NONE, 0, 0}, {UNIT_KX913, 3, 0}}});
    panels.units[0].channels[5].word = 0;  // one channel off
    for (const auto& [width, height] : {std::pair{1200, 777}, std::pair{1000, 623}}) {
        MainView view(state);
        view.resize(width, height);
        view.SetCellFontHeight(height * 10 / 600);
        for (int language : {LANGUAGE_ENGLISH, LANGUAGE_ITALIAN}) {
            SetLanguage(language);
            const QString suffix = QString("_%1_%2x%3.png").arg(language == LANGUAGE_ENGLISH ? "en" : "it").arg(width).arg(height);
            state.mode = AppMode::Idle;
            state.current = BenchInstallation();
            view.SetProgress(0);
            view.RepaintNow();
            view.DrawClockField();
            WriteShot(view, dir + "/diagram_full" + suffix);
            if (haveFile) {
                state.current = file;
                view.RepaintNow();
                view.SetStatusMessage(GetText(70));
                view.SetProgress(42);
                view.DrawClockField();
                WriteShot(view, dir + "/diagram_file" + suffix);
            }
            for (AppMode mode : {AppMode::SerialTest, AppMode::ModbusTest}) {
                state.mode = mode;
                state.gateway = panels;
                view.SetProgress(0);
                view.RepaintNow();
                FillLiveValues(state.gateway);
                state.gateway.units[1].channels[0].live_value = 0x0201;   // 0 on, 1 open
                state.gateway.units[1].channels[1].live_value = 0x8080;   // 15 short
                for (int u = 0; u < UNIT_COUNT; ++u)
                    for (int c = 0; c < CHANNEL_COUNT; ++c) {
                        if (panels.units[u].SLAVE_TYPE == UNIT_KX913) view.DrawAnalogValue(u, c, panels.units[u].channels[c].word ? 1 : 0);
                        else view.DrawDigitalState(u, c, panels.units[u].channels[c].word ? 1 : 0);
                    }
                view.DrawAnalogValue(0, 17, 2);
                view.DrawDigitalState(1, 9, 2);
                view.SetStatusMessage(GetText(74));
                view.DrawClockField();
                WriteShot(view, dir + (mode == AppMode::SerialTest ? "/panels_tags" : "/panels_numbers") + suffix);
            }
        }
    }
    SetLanguage(LANGUAGE_ENGLISH);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    int paints = 200;
    QString shots;
    std::string config;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--paints" && i + 1 < argc) paints = std::max(1, std::atoi(argv[++i]));
        else if (a == "--shots" && i + 1 < argc) shots = argv[++i];
        else if (a == "--config" && i + 1 < argc) config = argv[++i];
        else {
            std::fprintf(stderr, "usage: %s [--paints N] [--shots DIR [--config FILE.mcf]]\n", argv[0]);
            return 2;
        }
    }
    if (!shots.isEmpty()) {
        WriteShots(shots, config);
        return 0;
    }

    const SystemConfiguration image = BenchInstallation();
    const ViewResources res = CreateViewResources(CELL_FONT_HEIGHT);
    const ViewLayout layout = ComputeViewLayout(WIDTH, HEIGHT);
    QImage screen(WIDTH, HEIGHT, QImage::Format_RGB32);
    HitRegionTable regions;
    ChannelCells cells;

    const Timing diagram = TimePaints(paints, [&] {
        screen.fill(Qt::white);
        QPainter p(&screen);
        DrawSystemDiagram(p, res, layout, image, regions);
        DrawProgressField(p, res, WIDTH, HEIGHT, 37);
    });
    const int diagramRegions = static_cast<int>(regions.Regions().size());
    const Timing panels = TimePaints(paints, [&] {
        screen.fill(Qt::white);
        QPainter p(&screen);
        DrawUnitPanels(p, res, layout, image, AppMode::SerialTest, regions, cells);
        DrawProgressField(p, res, WIDTH, HEIGHT, 37);
    });
    std::printf("%d paints of %d x %d, %d hit regions, %d cells\n", paints, WIDTH, HEIGHT,
                diagramRegions, 4 * CHANNEL_COUNT);
    std::printf("diagram: %.2f ms, panels: %.2f ms\n", diagram.cpu, panels.cpu);
    std::printf("(medians of processor time; wall clock %.2f and %.2f ms)\n", diagram.wall, panels.wall);
    std::printf("peak memory: %.1f MB (VmHWM)\n", PeakMemoryKb() / 1024.0);
    return 0;
}
