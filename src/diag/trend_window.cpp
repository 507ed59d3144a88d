#include "diag/trend_window.h"

#include "config/safe_file.h"
#include "dialogs/dialog_support.h"
#include "text/numbers.h"
#include "text/text_ids.h"
#include "text/texts.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QTableWidget>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>

namespace tarn {

namespace {

constexpr int kRedrawMs = 500;

QPushButton* AddButton(QHBoxLayout* row, QWidget* parent, int textId, const char* name)
{
    auto* button = new QPushButton(ToQt(GetText(textId)), parent);
    button->setObjectName(QLatin1String(name));
    row->addWidget(button);
    return button;
}

// A figure as the cell shows it, with its unit of measure; digital 1 or 0.
QString FigureText(const TrendChannel& t, double value)
{
    if (!t.analog) return QString::number(static_cast<int>(value));
    return ToQt(FormatFixed(value, t.decimals) + " " + t.unitText);
}

} // namespace

TrendWindow::TrendWindow(TrendSeries& series, UserInterface& ui, QWidget* parent)
    : QDialog(parent), series_(series), ui_(ui)
{
    setObjectName(QStringLiteral("trendWindow"));
    SetWindowCaption(this, GetText(TEXT_TREND));
    setModal(false);

    auto* chart = new QChart;
    // The figures below name the lines in their colours: eight names would not fit a legend.
    chart->legend()->hide();
    auto* time = new QDateTimeAxis;
    time->setFormat(QStringLiteral("hh:mm:ss"));
    time->setTickCount(6);
    chart->addAxis(time, Qt::AlignBottom);
    chart->addAxis(new QValueAxis, Qt::AlignLeft);
    chart_ = new QChartView(chart, this);
    chart_->setObjectName(QStringLiteral("trendChart"));
    chart_->setRenderHint(QPainter::Antialiasing);
    chart_->setMinimumSize(560, 300);

    figures_ = new QTableWidget(0, 4, this);
    figures_->setObjectName(QStringLiteral("trendFigures"));
    figures_->setHorizontalHeaderLabels({ToQt(GetText(TEXT_TREND_CHANNEL)), ToQt(GetText(TEXT_TREND_LAST)),
                                         ToQt(GetText(TEXT_TREND_MINIMUM)), ToQt(GetText(TEXT_TREND_MAXIMUM))});
    figures_->verticalHeader()->hide();
    figures_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    figures_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    figures_->setSelectionMode(QAbstractItemView::NoSelection);
    figures_->setFixedHeight(figures_->horizontalHeader()->sizeHint().height() +
                             TREND_MAX_CHANNELS * figures_->verticalHeader()->defaultSectionSize() + 4);

    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("trendNote"));

    auto* buttons = new QHBoxLayout;
    pause_ = AddButton(buttons, this, TEXT_TREND_PAUSE, "pauseButton");
    pause_->setCheckable(true);
    connect(AddButton(buttons, this, TEXT_TREND_CLEAR, "clearButton"), &QPushButton::clicked, this, [this] {
        series_.Clear();
        drawn_ = ~0ULL;  // drawn empty even while paused
        const bool paused = Paused();
        pause_->setChecked(false);
        Redraw();
        pause_->setChecked(paused);
    });
    connect(AddButton(buttons, this, TEXT_TREND_SAVE_PNG, "savePngButton"), &QPushButton::clicked, this,
            &TrendWindow::SavePicture);
    connect(AddButton(buttons, this, TEXT_TREND_SAVE_CSV, "saveCsvButton"), &QPushButton::clicked, this,
            &TrendWindow::SaveReadings);
    buttons->addStretch();
    connect(AddButton(buttons, this, TEXT_CLOSE, "closeButton"), &QPushButton::clicked, this, &QDialog::close);
    connect(pause_, &QPushButton::toggled, this, [this](bool paused) {
        if (!paused) Redraw();
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(chart_, 1);
    layout->addWidget(figures_);
    layout->addWidget(note_);
    layout->addLayout(buttons);

    timer_.setInterval(kRedrawMs);
    connect(&timer_, &QTimer::timeout, this, &TrendWindow::Redraw);
    timer_.start();
    Redraw();
}

bool TrendWindow::Paused() const { return pause_->isChecked(); }

void TrendWindow::ShowNote(const std::string& text) { note_->setText(ToQt(text)); }

void TrendWindow::Redraw()
{
    if (Paused() || drawn_ == series_.Revision()) return;
    drawn_ = series_.Revision();
    const std::vector<TrendChannel>& channels = series_.Channels();
    QChart* chart = chart_->chart();
    QAbstractAxis* time = chart->axes(Qt::Horizontal).front();
    QAbstractAxis* values = chart->axes(Qt::Vertical).front();

    // One series a channel, in trend order; the trend only grows until it is cleared.
    QList<QAbstractSeries*> lines = chart->series();
    while (lines.size() > static_cast<qsizetype>(channels.size())) {
        chart->removeSeries(lines.back());
        delete lines.takeLast();
    }
    while (lines.size() < static_cast<qsizetype>(channels.size())) {
        auto* line = new QLineSeries;
        chart->addSeries(line);
        line->attachAxis(time);
        line->attachAxis(values);
        lines.append(line);
    }

    long long newest = QDateTime::currentMSecsSinceEpoch();
    long long oldest = newest;
    bool any = false;
    double low = 0, high = 0;
    figures_->setRowCount(static_cast<int>(channels.size()));
    for (std::size_t i = 0; i < channels.size(); ++i) {
        const TrendChannel& t = channels[i];
        auto* line = static_cast<QLineSeries*>(lines[static_cast<qsizetype>(i)]);
        QList<QPointF> points;
        points.reserve(static_cast<qsizetype>(t.samples.size()));
        for (const TrendSample& s : t.samples) points.append(QPointF(static_cast<qreal>(s.timeMs), s.value));
        line->replace(points);
        const std::string unit = t.unitText.empty() ? std::string() : " (" + t.unitText + ")";
        line->setName(ToQt(t.Label() + unit));

        const int row = static_cast<int>(i);
        auto* name = new QTableWidgetItem(ToQt(t.Label()));
        name->setForeground(line->color());
        figures_->setItem(row, 0, name);
        const std::optional<TrendFigures> f = series_.Figures(row);
        figures_->setItem(row, 1, new QTableWidgetItem(f ? FigureText(t, f->last) : QString()));
        figures_->setItem(row, 2, new QTableWidgetItem(f ? FigureText(t, f->minimum) : QString()));
        figures_->setItem(row, 3, new QTableWidgetItem(f ? FigureText(t, f->maximum) : QString()));
        if (!f) continue;
        newest = any ? std::max(newest, t.samples.back().timeMs) : t.samples.back().timeMs;
        oldest = any ? std::min(oldest, t.samples.front().timeMs) : t.samples.front().timeMs;
        low = any ? std::min(low, f->minimum) : f->minimum;
        high = any ? std::max(high, f->maximum) : f->maximum;
        any = true;
    }
    // The time the readings cover, ten minutes at most; a second at least.
    oldest = std::min(std::max(oldest, newest - TREND_SPAN_MS), newest - 1000);
    time->setRange(QDateTime::fromMSecsSinceEpoch(oldest), QDateTime::fromMSecsSinceEpoch(newest));
    // A flat line gets room above and below it.
    const double margin = high > low ? (high - low) / 10 : std::max(1.0, std::abs(high) / 10);
    values->setRange(low - margin, high + margin);
    if (channels.empty()) ShowNote(GetText(TEXT_TREND_HINT));
}

bool TrendWindow::SaveChosen(int titleText, const std::string& filter, const char* extension, const std::string& bytes)
{
    std::optional<std::string> path = ui_.ChooseFileToSave(GetText(titleText), filter);
    if (!path) return false;
    // The file rule of the configuration files: a name without any dot gets the extension.
    if (path->find('.') == std::string::npos) *path += extension;
    if (SaveFileSafely(*path, bytes) == SaveResult::Saved) return true;
    ShowErrorBox(ui_, GetText(TEXT_FILE_WRITE_FAILED) + ": " + *path);
    return false;
}

bool TrendWindow::SavePicture()
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    chart_->grab().save(&buffer, "PNG");
    return SaveChosen(TEXT_TREND_SAVE_PNG, GetText(TEXT_PNG_FILES) + " (*.png)", ".png", png.toStdString());
}

bool TrendWindow::SaveReadings()
{
    return SaveChosen(TEXT_TREND_SAVE_CSV, GetText(TEXT_CSV_FILES) + " (*.csv)", ".csv", series_.Csv());
}

} // namespace tarn
