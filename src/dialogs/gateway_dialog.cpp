#include "dialogs/gateway_dialog.h"

#include "config/app_state.h"
#include "dialogs/config_edits.h"
#include "dialogs/dialog_support.h"
#include "dialogs/file_text_edit.h"
#include "text/text_ids.h"
#include "text/texts.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tarn {

namespace {

QComboBox* choiceList(const char* name, ChoiceList list, std::uint32_t value)
{
    auto* combo = new QComboBox;
    combo->setObjectName(name);
    FillComboFromChoices(combo, list);
    SelectComboItem(combo, static_cast<int>(value));
    return combo;
}

QLabel* label(const char* name, int textId)
{
    auto* l = new QLabel(TextQ(textId));
    l->setObjectName(name);
    return l;
}

} // namespace

GatewayDialog::GatewayDialog(AppState& state, QWidget* parent) : QDialog(parent), state_(state)
{
    setObjectName("gatewayDialog");
    SetWindowCaption(this, GetText(TEXT_GATEWAY_DIALOG_TITLE));
    const SystemConfiguration& c = state_.current;

    tag_ = new QLineEdit;
    tag_->setObjectName("tagEdit");
    MakeFileTextEdit(tag_, 16);
    SetEditText(tag_, std::string(FieldText(c.MASTER_TAG)));
    cable_ = choiceList("fieldConnectionList", ChoiceList::LineUse, c.MASTER_CABLE);
    frequency_ = choiceList("lineFrequencyList", ChoiceList::LineFrequency, c.MASTER_FREQ);
    repeaters_ = choiceList("repeaterCountList", ChoiceList::Repeaters, c.MASTER_REPT);
    address_ = new QLineEdit(ToQt(FormatModbusAddress(c.MASTER_MOD_ADDR)));
    address_->setObjectName("modbusAddressEdit");
    address_->setAlignment(Qt::AlignRight);
    baud_ = choiceList("modbusBaudList", ChoiceList::ModbusBaud, c.MASTER_MOD_BAUD);
    format_ = choiceList("modbusFormatList", ChoiceList::ModbusFormat, c.MASTER_MOD_FORM);
    modbusConfig_ = new QComboBox;
    modbusConfig_->setObjectName("modbusConfigList");
    modbusConfig_->addItem(TextQ(TEXT_NO));
    modbusConfig_->addItem(TextQ(TEXT_YES));
    SelectComboItem(modbusConfig_, static_cast<int>(c.MASTER_MOD_CONFIG));

    // Every input is as wide as the widest, and never narrower than the template's 130
    // dialog units, so the labels to their right line up in every frame.
    QWidget* inputs[] = {tag_, cable_, frequency_, repeaters_, address_, baud_, format_, modbusConfig_};
    int inputWidth = fontMetrics().averageCharWidth() * 130 / 4;
    for (QWidget* input : inputs) inputWidth = std::max(inputWidth, input->sizeHint().width());
    for (QWidget* input : inputs) input->setFixedWidth(inputWidth);

    auto* layout = new QVBoxLayout(this);
    auto framedRow = [&](QWidget* input, QLabel* text) {
        auto* frame = new QGroupBox;
        auto* row = new QHBoxLayout(frame);
        row->addWidget(input);
        row->addSpacing(fontMetrics().averageCharWidth() * 10 / 4);
        row->addWidget(text, 1);
        layout->addWidget(frame);
    };
    framedRow(tag_, label("tagLabel", TEXT_MAIN_TAG));
    framedRow(cable_, label("fieldConnectionLabel", TEXT_FIELD_CONNECTION));
    framedRow(frequency_, label("lineFrequencyLabel", TEXT_POWER_LINE_FREQUENCY));
    framedRow(repeaters_, label("repeaterCountLabel", TEXT_NUMBER_OF_REPEATERS));

    auto* modbusFrame = new QGroupBox;
    auto* modbus = new QGridLayout(modbusFrame);
    modbus->setHorizontalSpacing(fontMetrics().averageCharWidth() * 10 / 4 + modbus->spacing());
    modbus->setColumnStretch(1, 1);
    const std::pair<QWidget*, QLabel*> modbusRows[] = {
        {address_, label("modbusAddressLabel", TEXT_MODBUS_ADDRESS)},
        {baud_, label("modbusBaudLabel", TEXT_MODBUS_BAUDRATE)},
        {format_, label("modbusFormatLabel", TEXT_MODBUS_FORMAT)},
        {modbusConfig_, label("modbusConfigLabel", TEXT_CONFIGURATION_VIA_MODBUS)},
    };
    for (int row = 0; const auto& [input, text] : modbusRows) {
        modbus->addWidget(input, row, 0);
        modbus->addWidget(text, row++, 1);
    }
    layout->addWidget(modbusFrame);

    auto* ok = new QPushButton(TextQ(TEXT_OK));
    ok->setObjectName("okButton");
    auto* cancel = new QPushButton(TextQ(TEXT_CANCEL));
    cancel->setObjectName("cancelButton");
    cancel->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(ok, &QPushButton::clicked, this, &GatewayDialog::onOk);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    cancel->setFocus();
}

void GatewayDialog::onOk()
{
    MasterEdits edits;
    edits.tag = EditText(tag_);
    edits.cable = GetComboSelection(cable_);
    edits.frequency = GetComboSelection(frequency_);
    edits.repeaters = GetComboSelection(repeaters_);
    edits.address = EditText(address_);
    edits.baud = GetComboSelection(baud_);
    edits.format = GetComboSelection(format_);
    edits.modbusConfig = GetComboSelection(modbusConfig_);
    // A refused address keeps the dialog open with the input as typed.
    if (AcceptGatewayEdits(state_, edits)) accept();
}

} // namespace tarn
