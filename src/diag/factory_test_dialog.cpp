#include "diag/factory_test_dialog.h"

#include "diag/diag_dialogs.h"
#include "diag/diag_widgets.h"
#include "dialogs/dialog_support.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarn {

namespace {

// The texts of this dialog are the fixed English texts of its template.
QLineEdit* Field(const QString& name, bool readOnly, Qt::Alignment alignment, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setReadOnly(readOnly);
    edit->setAlignment(alignment);
    if (readOnly) edit->setFocusPolicy(Qt::ClickFocus);
    return edit;
}

QPushButton* Button(const char* text, const char* name, QWidget* parent)
{
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

void ShowText(QLineEdit* edit, const QString& text)
{
    if (edit->text() != text) edit->setText(text);
}

} // namespace

FactoryTestDialog::FactoryTestDialog(FactoryTest& test, QWidget* parent) : QDialog(parent), test_(test)
{
    setObjectName(QStringLiteral("factoryTest"));
    setWindowTitle(QStringLiteral("Factory Test Functions"));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Command"), this), 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("Tolerance"), this), 2, 0);
    grid->addWidget(new QLabel(QStringLiteral("Reply"), this), 3, 0);
    for (int i = 0; i < FT_COLUMNS; ++i) {
        grid->addWidget(new QLabel(QStringLiteral("Xy.z=w"), this), 0, i + 1, Qt::AlignHCenter);
        commands_[i] = Field(QStringLiteral("command%1").arg(i), false, Qt::AlignLeft, this);
        commands_[i]->setMaxLength(FT_FIELD_CHARS);
        tolerances_[i] = Field(QStringLiteral("tolerance%1").arg(i), false, Qt::AlignLeft, this);
        tolerances_[i]->setMaxLength(FT_FIELD_CHARS);
        replies_[i] = Field(QStringLiteral("reply%1").arg(i), true, Qt::AlignLeft, this);
        const int width = commands_[i]->fontMetrics().horizontalAdvance(QStringLiteral("S0.05=00000WW"));
        for (QLineEdit* e : {commands_[i], tolerances_[i], replies_[i]}) e->setMinimumWidth(width);
        grid->addWidget(commands_[i], 1, i + 1);
        grid->addWidget(tolerances_[i], 2, i + 1);
        grid->addWidget(replies_[i], 3, i + 1);
        connect(commands_[i], &QLineEdit::textEdited, this, [this] { Collect(); });
        connect(tolerances_[i], &QLineEdit::textEdited, this, [this] { Collect(); });
    }

    send_ = Button("Send", "send", this);
    startSerial_ = Button("Start Serial", "startSerial", this);
    stopSerial_ = Button("Stop Serial", "stopSerial", this);
    startModbus_ = Button("Start Modbus", "startModbus", this);
    stopModbus_ = Button("Stop Modbus", "stopModbus", this);
    clearErrors_ = Button("Clear Errors", "clearErrors", this);
    cancel_ = Button("Cancel", "cancel", this);
    modbusValue_ = Field(QStringLiteral("modbusValue"), true, Qt::AlignLeft, this);
    serialCycles_ = Field(QStringLiteral("serialCycles"), true, Qt::AlignRight, this);
    serialErrors_ = Field(QStringLiteral("serialErrors"), true, Qt::AlignRight, this);
    modbusCycles_ = Field(QStringLiteral("modbusCycles"), true, Qt::AlignRight, this);
    modbusErrors_ = Field(QStringLiteral("modbusErrors"), true, Qt::AlignRight, this);
    for (QLineEdit* e : {serialCycles_, serialErrors_, modbusCycles_, modbusErrors_})
        e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("000000WW")));

    auto* cycles = new QGridLayout;
    cycles->addWidget(new QLabel(QStringLiteral("Cycles"), this), 0, 4, Qt::AlignHCenter);
    cycles->addWidget(new QLabel(QStringLiteral("Errors"), this), 0, 5, Qt::AlignHCenter);
    cycles->addWidget(new QLabel(QStringLiteral("Serial"), this), 1, 0);
    cycles->addWidget(send_, 1, 1);
    cycles->addWidget(startSerial_, 1, 2);
    cycles->addWidget(stopSerial_, 1, 3);
    cycles->addWidget(serialCycles_, 1, 4);
    cycles->addWidget(serialErrors_, 1, 5);
    cycles->addWidget(new QLabel(QStringLiteral("Modbus"), this), 2, 0);
    cycles->addWidget(modbusValue_, 2, 1);
    cycles->addWidget(startModbus_, 2, 2);
    cycles->addWidget(stopModbus_, 2, 3);
    cycles->addWidget(modbusCycles_, 2, 4);
    cycles->addWidget(modbusErrors_, 2, 5);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(clearErrors_);
    buttons->addStretch(1);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(cycles);
    layout->addSpacing(8);
    layout->addLayout(buttons);

    timer_.setObjectName(QStringLiteral("tickTimer"));
    timer_.setParent(this);
    timer_.setInterval(FT_TICK_MS);
    connect(&timer_, &QTimer::timeout, this, &FactoryTestDialog::RunTick);

    connect(send_, &QPushButton::clicked, this, [this] {
        Collect();
        test_.Send();
        Apply();
    });
    auto start = [this](bool (FactoryTest::*startCycle)()) {
        Collect();
        if ((test_.*startCycle)()) timer_.start();
        Apply();
    };
    connect(startSerial_, &QPushButton::clicked, this, [start] { start(&FactoryTest::StartSerial); });
    connect(startModbus_, &QPushButton::clicked, this, [start] { start(&FactoryTest::StartModbus); });
    connect(stopSerial_, &QPushButton::clicked, this, [this] {
        test_.StopSerial();
        Apply();
    });
    connect(stopModbus_, &QPushButton::clicked, this, [this] {
        test_.StopModbus();
        Apply();
    });
    connect(clearErrors_, &QPushButton::clicked, this, [this] {
        test_.ClearErrors();
        Apply();
    });
    connect(cancel_, &QPushButton::clicked, this, &FactoryTestDialog::reject);

    for (int i = 0; i < FT_COLUMNS; ++i) {
        commands_[i]->setText(ToQt(test_.commandField[i]));
        tolerances_[i]->setText(ToQt(test_.toleranceField[i]));
    }
    Apply();
}

void FactoryTestDialog::Collect()
{
    for (int i = 0; i < FT_COLUMNS; ++i) {
        test_.commandField[i] = FromQt(commands_[i]->text());
        test_.toleranceField[i] = FromQt(tolerances_[i]->text());
    }
}

void FactoryTestDialog::Apply()
{
    for (int i = 0; i < FT_COLUMNS; ++i) {
        ShowText(commands_[i], ToQt(test_.commandField[i]));
        ShowText(tolerances_[i], ToQt(test_.toleranceField[i]));
        ShowText(replies_[i], ToQt(test_.replyField[i]));
    }
    ShowText(modbusValue_, ToQt(test_.modbusField));
    ShowText(serialCycles_, QString::fromStdString(CountText(test_.serialCycles)));
    ShowText(serialErrors_, QString::fromStdString(CountText(test_.serialErrors)));
    ShowText(modbusCycles_, QString::fromStdString(CountText(test_.modbusCycles)));
    ShowText(modbusErrors_, QString::fromStdString(CountText(test_.modbusErrors)));
    startSerial_->setEnabled(!test_.SerialRunning());
    stopSerial_->setEnabled(test_.SerialRunning());
    startModbus_->setEnabled(!test_.ModbusRunning());
    stopModbus_->setEnabled(test_.ModbusRunning());
    send_->setEnabled(test_.Idle());
    cancel_->setEnabled(test_.Idle());
}

void FactoryTestDialog::RunTick()
{
    if (DeferDuringExchange(this, kDeferredTick, [this] {
            if (timer_.isActive()) RunTick();
        }))
        return;
    timer_.stop();
    Collect();
    const bool again = test_.Tick();
    Apply();
    if (again) timer_.start();
}

void FactoryTestDialog::reject()
{
    if (DeferDuringExchange(this, kDeferredCancel, [this] { reject(); })) return;
    if (!test_.Idle()) return;
    timer_.stop();
    QDialog::reject();
}

void OpenFactoryTest(Session& session, QWidget* parent)
{
    GatewayLinks& links = session.links;
    DiagnosticRun run(session.diagnostic);
    if (!FactoryTest::Begin(links)) return;
    {
        FactoryTest test(links);
        FactoryTestDialog dialog(test, parent);
        // The cycles stop first: Cancel waits for them.
        RunDiagnosticDialog(session, dialog, [&dialog, &test] {
            test.StopSerial();
            test.StopModbus();
            dialog.reject();
        });
    }
    FactoryTest::Finish(links);
}

} // namespace tarn
