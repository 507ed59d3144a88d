#include "diag/status_control_dialog.h"

#include "diag/diag_dialogs.h"
#include "diag/diag_widgets.h"
#include "dialogs/dialog_support.h"
#include "text/text_ids.h"
#include "text/texts.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

// The bus pictures live in a static library: their resource must be registered by name.
static void InitDiagPictures() { Q_INIT_RESOURCE(diag_pictures); }

namespace tarn {

namespace {

// Rows of one unit in the grid: line 1, its branch, line 2, its branch, a gap.
constexpr int ROWS_PER_UNIT = 5;
constexpr int BUS1_COLUMN = 1;
constexpr int BUS2_COLUMN = 2;
constexpr int LABEL_COLUMN = 3;
constexpr int FIGURE_COLUMN = 4;

QLabel* Picture(QWidget* parent, const char* file, const QString& name, bool vertical)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setPixmap(QPixmap(QStringLiteral(":/diag/pictures/") + QLatin1String(file)));
    label->setScaledContents(true);
    // A bar stretches along its length and keeps its thickness; hidden, it keeps its place.
    QSizePolicy policy = vertical ? QSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored)
                                  : QSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    policy.setRetainSizeWhenHidden(true);
    label->setSizePolicy(policy);
    if (vertical) label->setFixedWidth(3);
    else label->setFixedHeight(3);
    label->hide();
    return label;
}

QLabel* Field(QWidget* parent, const QString& name, Qt::Alignment alignment)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setAlignment(alignment);
    label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    return label;
}

} // namespace

StatusControlDialog::StatusControlDialog(StatusControl& engine, QWidget* parent)
    : QDialog(parent), control_(engine), timer_(new QTimer(this))
{
    InitDiagPictures();
    setObjectName(QStringLiteral("statusControlDialog"));
    SetWindowCaption(this, GetText(TEXT_STATUS_CONTROL_TITLE));

    QFont bold(QStringLiteral("Arial"));
    bold.setStyleHint(QFont::SansSerif);
    bold.setPixelSize(22);
    bold.setWeight(QFont::Bold);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(2);
    const QString n[] = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")};
    for (int u = 0; u < 4; ++u) {
        const int row = ROWS_PER_UNIT * u;
        QLabel* description = Field(this, QStringLiteral("description") + n[u], Qt::AlignCenter);
        description->setFont(bold);
        description->setMinimumSize(270, 36);
        descriptions_[u] = description;
        grid->addWidget(description, row, 0, 4, 1, Qt::AlignVCenter);

        line1Labels_[u] = new QLabel(this);
        line1Labels_[u]->setObjectName(QStringLiteral("line1Label") + n[u]);
        line1Figures_[u] = Field(this, QStringLiteral("line1Figure") + n[u], Qt::AlignRight | Qt::AlignVCenter);
        line2Labels_[u] = new QLabel(this);
        line2Labels_[u]->setObjectName(QStringLiteral("line2Label") + n[u]);
        line2Figures_[u] = Field(this, QStringLiteral("line2Figure") + n[u], Qt::AlignRight | Qt::AlignVCenter);
        for (QLabel* figure : {line1Figures_[u], line2Figures_[u]}) figure->setMinimumWidth(56);
        // Room for the labels of both meanings, so the window keeps its size when they change.
        for (QLabel* label : {line1Labels_[u], line2Labels_[u]}) {
            int width = 0;
            for (int text : {TEXT_QUALITY_OF_SLAVE, TEXT_RECEIVE_ERRORS_OF_SLAVE})
                for (int line : {TEXT_LINE_1, TEXT_LINE_2})
                    width = std::max(width, label->fontMetrics().horizontalAdvance(
                                                ToQt(GetText(text) + " " + std::to_string(u + 1) + " " + GetText(line))));
            label->setMinimumWidth(width);
        }
        bus1Branches_[u] = Picture(this, "bus_line1_branch.png", QStringLiteral("bus1Branch") + n[u], false);
        bus2Branches_[u] = Picture(this, "bus_line2_branch.png", QStringLiteral("bus2Branch") + n[u], false);

        grid->addWidget(line1Labels_[u], row, LABEL_COLUMN);
        grid->addWidget(line1Figures_[u], row, FIGURE_COLUMN);
        grid->addWidget(bus1Branches_[u], row + 1, BUS1_COLUMN, 1, FIGURE_COLUMN - BUS1_COLUMN + 1);
        grid->addWidget(line2Labels_[u], row + 2, LABEL_COLUMN);
        grid->addWidget(line2Figures_[u], row + 2, FIGURE_COLUMN);
        grid->addWidget(bus2Branches_[u], row + 3, BUS2_COLUMN, 1, FIGURE_COLUMN - BUS2_COLUMN + 1);
        if (u < 3) grid->setRowMinimumHeight(row + 4, 14);
    }
    // The buses run from the first unit's rows down to the last branch of their line.
    bus1_ = Picture(this, "bus_line1.png", QStringLiteral("bus1"), true);
    bus2_ = Picture(this, "bus_line2.png", QStringLiteral("bus2"), true);
    grid->addWidget(bus1_, 0, BUS1_COLUMN, ROWS_PER_UNIT * 3 + 2, 1);
    grid->addWidget(bus2_, 0, BUS2_COLUMN, ROWS_PER_UNIT * 3 + 4, 1);
    grid->setColumnStretch(LABEL_COLUMN, 1);

    auto* separator = new QFrame(this);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);

    clearOverride_ = new QPushButton(TextQ(TEXT_CLEAR_LINE_OVERRIDE), this);
    clearOverride_->setObjectName(QStringLiteral("clearOverride"));
    clearOverride_->setAutoDefault(false);
    diagnosticMode_ = new QCheckBox(TextQ(TEXT_DIAGNOSTIC_MODE), this);
    diagnosticMode_->setObjectName(QStringLiteral("diagnosticMode"));
    cancel_ = new QPushButton(TextQ(TEXT_CANCEL), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    cancel_->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(clearOverride_);
    buttons->addSpacing(12);
    buttons->addWidget(diagnosticMode_);
    buttons->addStretch(1);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(6);
    layout->addWidget(separator);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    timer_->setSingleShot(true);
    timer_->setInterval(STATUS_CONTROL_TICK_MS);
    connect(timer_, &QTimer::timeout, this, &StatusControlDialog::Tick);
    connect(clearOverride_, &QPushButton::clicked, this, &StatusControlDialog::ClearLineOverride);
    connect(diagnosticMode_, &QCheckBox::clicked, this, &StatusControlDialog::DiagnosticModeClicked);
    connect(cancel_, &QPushButton::clicked, this, &StatusControlDialog::reject);
    ShowState();
}

bool StatusControlDialog::Begin()
{
    if (!control_.Start()) return false;
    diagnosticMode_->setChecked(false);
    ShowState();
    timer_->start();
    return true;
}

int StatusControlDialog::Run(Session& session)
{
    if (!Begin()) return 0;
    return RunDiagnosticDialog(session, *this, [this] { reject(); });
}

void StatusControlDialog::Tick()
{
    // The single shot has fired: a tick kept during an exchange runs whatever the timer's state.
    if (DeferDuringExchange(this, kDeferredTick, [this] { Tick(); })) return;
    // Each tick stops the timer and starts it again at its end, so ticks never pile up behind
    // a slow gateway.
    timer_->stop();
    if (ended_) return;
    if (!control_.Tick()) {
        Fail();
        return;
    }
    ShowState();
    timer_->start();
}

void StatusControlDialog::ClearLineOverride()
{
    if (!control_.ClearLineOverride()) {
        Fail();
        return;
    }
    cancel_->setFocus();
}

void StatusControlDialog::DiagnosticModeClicked(bool checked)
{
    if (!control_.SetDiagnosticMode(checked)) Fail();
}

void StatusControlDialog::reject()
{
    if (DeferDuringExchange(this, kDeferredCancel, [this] { reject(); })) return;
    if (ended_) return;
    ended_ = true;
    timer_->stop();
    control_.Cancel();
    done(1);
}

void StatusControlDialog::Fail()
{
    if (ended_) return;
    ended_ = true;
    timer_->stop();
    done(0);
}

void StatusControlDialog::ShowState()
{
    for (int u = 0; u < 4; ++u) {
        descriptions_[u]->setText(ToQt(control_.Description(u)));
        line1Labels_[u]->setText(ToQt(control_.LineLabel(u, 1)));
        line2Labels_[u]->setText(ToQt(control_.LineLabel(u, 2)));
        line1Figures_[u]->setText(ToQt(control_.LineFigureText(u, 1)));
        line2Figures_[u]->setText(ToQt(control_.LineFigureText(u, 2)));
        bus1Branches_[u]->setVisible(control_.Line1BusShown());
        bus2Branches_[u]->setVisible(control_.Line2BusShown());
    }
    bus1_->setVisible(control_.Line1BusShown());
    bus2_->setVisible(control_.Line2BusShown());
}

void OpenStatusControl(Session& session, QWidget* parent)
{
    DiagnosticRun run(session.diagnostic);
    StatusControlCommand(session.links, [&session, parent](StatusControl& engine) {
        StatusControlDialog dialog(engine, parent);
        return dialog.Run(session);
    });
}

} // namespace tarn
