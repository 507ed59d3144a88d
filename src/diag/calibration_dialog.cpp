#include "diag/calibration_dialog.h"

#include "diag/diag_dialogs.h"
#include "diag/diag_widgets.h"
#include "dialogs/dialog_support.h"
#include "text/text_ids.h"
#include "text/texts.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarn {

CalibrationDialog::CalibrationDialog(Calibration& calibration, QWidget* parent) : QDialog(parent), cal_(calibration)
{
    setObjectName(QStringLiteral("calibration"));
    cal_.Start();
    SetWindowCaption(this, cal_.Caption());

    auto* grid = new QGridLayout;
    const char* names[4] = {"zeroCoefficient", "spanCoefficient", "resistanceCoefficient", "currentReading"};
    SunkenField* fields[4];
    for (int i = 0; i < 4; ++i) {
        grid->addWidget(new QLabel(TextQ(TEXT_CALIBRATION_FIELD_FIRST + i), this), i, 0);
        fields[i] = new SunkenField(Qt::AlignRight, this);
        fields[i]->setObjectName(QString::fromLatin1(names[i]));
        grid->addWidget(fields[i], i, 1);
    }
    zero_ = fields[0];
    span_ = fields[1];
    resistance_ = fields[2];
    reading_ = fields[3];
    reading_->setFont(ValueFont());
    for (SunkenField* f : fields) f->setMinimumWidth(reading_->fontMetrics().horizontalAdvance(QStringLiteral(" -32768 WW")));

    yellowLamp_ = MakeLamp(LampColour::Yellow, this);
    yellowLamp_->setObjectName(QStringLiteral("lamp301"));
    redLamp_ = MakeLamp(LampColour::Red, this);  // never lit: the flag shows in the step state
    redLamp_->setObjectName(QStringLiteral("lamp302"));
    grid->addWidget(yellowLamp_, 3, 2);
    grid->addWidget(redLamp_, 3, 2);
    grid->setColumnStretch(1, 1);

    step_ = new QPushButton(this);
    step_->setObjectName(QStringLiteral("step"));
    step_->setAutoDefault(false);
    step_->setMinimumHeight(step_->sizeHint().height() * 3 / 2);
    cancel_ = new QPushButton(TextQ(TEXT_CANCEL), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    cancel_->setAutoDefault(false);
    KeepPlaceWhenHidden(cancel_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addWidget(step_);
    layout->addSpacing(8);
    layout->addLayout(buttons);

    // The step button's widest text sets its width, so it never clips in either language.
    int widest = 0;
    for (int id = TEXT_CALIBRATION_STEP_FIRST; id <= TEXT_CALIBRATION_STEP_LAST; ++id)
        widest = std::max(widest, step_->fontMetrics().horizontalAdvance(TextQ(id)));
    step_->setMinimumWidth(widest + 40);

    connect(step_, &QPushButton::clicked, this, [this] { Act(cal_.StepClicked()); });
    connect(cancel_, &QPushButton::clicked, this, &CalibrationDialog::reject);

    timer_.setObjectName(QStringLiteral("tickTimer"));
    timer_.setParent(this);
    timer_.setInterval(CAL_TICK_MS);
    connect(&timer_, &QTimer::timeout, this, &CalibrationDialog::RunTick);

    Apply();
    timer_.start();
}

void CalibrationDialog::Act(Calibration::Action action)
{
    if (action == Calibration::Action::End) {
        timer_.stop();
        done(cal_.Result());
        return;
    }
    Apply();
}

void CalibrationDialog::reject()
{
    if (DeferDuringExchange(this, kDeferredCancel, [this] { reject(); })) return;
    Act(cal_.CancelClicked());
}

void CalibrationDialog::RunTick()
{
    if (DeferDuringExchange(this, kDeferredTick, [this] {
            if (timer_.isActive()) RunTick();
        }))
        return;
    const bool rearm = timer_.isActive();
    timer_.stop();
    const Calibration::TickOutcome outcome = cal_.Tick();
    if (outcome.beep) QApplication::beep();
    Apply();
    if (rearm) timer_.start();
}

void CalibrationDialog::Apply()
{
    step_->setText(ToQt(cal_.StepButtonText()));
    zero_->Show(QString::fromStdString(cal_.CoefficientText(cal_.Zero())));
    span_->Show(QString::fromStdString(cal_.CoefficientText(cal_.Span())));
    resistance_->Show(QString::fromStdString(cal_.CoefficientText(cal_.Resistance())));
    reading_->Show(QString::fromStdString(cal_.ReadingText()));
    cancel_->setVisible(cal_.CancelVisible());
    yellowLamp_->setVisible(cal_.LampVisible());
}

void OpenCalibration(Session& session, QWidget* parent, int unit)
{
    if (unit < 0 || unit > 3) return;
    DiagnosticRun run(session.diagnostic);
    Calibration calibration(session.links, unit);
    if (!calibration.Begin()) return;
    int result = 0;
    {
        CalibrationDialog dialog(calibration, parent);
        // A running step is interrupted by the first Cancel, which has no other effect; the
        // second ends the dialog.
        result = RunDiagnosticDialog(session, dialog, [&dialog, &calibration] {
            calibration.CancelClicked();
            dialog.reject();
        });
    }
    calibration.Finish(result);
}

} // namespace tarn
