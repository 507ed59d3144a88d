#include "dialogs/channel_dialogs.h"

#include "config/app_state.h"
#include "config/channel_word.h"
#include "dialogs/config_edits.h"
#include "dialogs/dialog_support.h"
#include "dialogs/file_text_edit.h"
#include "text/text_ids.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace tarn {

namespace {

QString numbered(const char* name, int row) { return QString::fromLatin1(name) + QString::number(row); }

// A widget that keeps its place in the grid while hidden, so that the lists sharing a cell
// give it the width of the widest of them and the columns never move.
template <class W>
W* keepingPlace(W* widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
    return widget;
}

QComboBox* choiceList(const QString& name, ChoiceList list)
{
    auto* combo = keepingPlace(new QComboBox);
    combo->setObjectName(name);
    FillComboFromChoices(combo, list);
    return combo;
}

QComboBox* emptyList(const QString& name)
{
    auto* combo = keepingPlace(new QComboBox);
    combo->setObjectName(name);
    combo->setEnabled(false);
    return combo;
}

QLineEdit* tagEdit(const QString& name, const char (&tag)[TAG_CAPACITY])
{
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    MakeFileTextEdit(edit, 16);
    SetEditText(edit, std::string(FieldText(tag)));
    SizeTagEdit(edit);
    // A tag wider than the field shows its beginning, the part that names the channel.
    edit->setCursorPosition(0);
    return edit;
}

QLabel* channelNumber(const QString& name, int number)
{
    auto* label = new QLabel(QString::number(number));
    label->setObjectName(name);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

// The grid of the channel rows, tight, in a scroll area that scrolls only on screens too
// small for it.
QGridLayout* rowsGrid(QVBoxLayout* layout)
{
    auto* rows = new QWidget;
    auto* grid = new QGridLayout(rows);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(2);
    grid->setHorizontalSpacing(rows->fontMetrics().averageCharWidth() / 2);
    layout->addWidget(ScrollingWhereTheScreenIsSmall(rows));
    return grid;
}

struct Buttons {
    QPushButton* ok;
    QPushButton* cancel;
};

// Ok and Cancel at the right; Cancel is the default button.
Buttons okCancel(QHBoxLayout* row)
{
    Buttons b{new QPushButton(TextQ(TEXT_OK)), new QPushButton(TextQ(TEXT_CANCEL))};
    b.ok->setObjectName("okButton");
    b.cancel->setObjectName("cancelButton");
    b.cancel->setDefault(true);
    row->addStretch(1);
    row->addWidget(b.ok);
    row->addWidget(b.cancel);
    return b;
}

} // namespace

void EditChannels(AppState& state, QWidget* parent, int unit, int module)
{
    if (state.current.units[unit].SLAVE_TYPE == UNIT_KX913) {
        AnalogChannelsDialog dialog(state, parent, unit, module);
        if (RunDialog(*state.ui, dialog) == QDialog::Accepted) state.current.units[unit] = dialog.WorkingCopy();
    } else {
        DigitalChannelsDialog dialog(state, parent, unit);
        if (RunDialog(*state.ui, dialog) == QDialog::Accepted) state.current.units[unit] = dialog.WorkingCopy();
    }
    state.RequestRefresh(ViewRefresh::Full);
}

AnalogChannelsDialog::AnalogChannelsDialog(AppState& state, QWidget* parent, int unit, int module)
    : QDialog(parent), state_(state), module_(module), copy_(state.current.units[unit])
{
    setObjectName("analogChannelsDialog");
    SetWindowCaption(this, AnalogDialogTitle(unit, module));

    auto* layout = new QVBoxLayout(this);
    auto* grid = rowsGrid(layout);
    for (int r = 0; r < ANALOG_PAGE_ROWS; ++r) {
        const int channel = ANALOG_PAGE_ROWS * module + r;
        Row& row = rows_[r];
        row.number = channelNumber(numbered("channelNumber", r), channel + 1);
        row.tag = tagEdit(numbered("tagEdit", r), copy_.channels[channel].tag);
        row.type = choiceList(numbered("typeList", r), ChoiceList::ChannelType);
        // Type 30, the compensator, exists only on the 16th row of a page.
        while (row.type->count() > ChannelTypeEntries(r)) row.type->removeItem(row.type->count() - 1);
        row.burnout = choiceList(numbered("burnoutList", r), ChoiceList::Burnout);
        row.wires = choiceList(numbered("wiresList", r), ChoiceList::Wires);
        row.coldJunction = choiceList(numbered("coldJunctionList", r), ChoiceList::ColdJunction);
        row.filter = choiceList(numbered("filterList", r), ChoiceList::Filter);
        row.noBurnoutOrWires = emptyList(numbered("noBurnoutList", r));
        row.noColdJunction = emptyList(numbered("noColdJunctionList", r));
        row.noFilter = emptyList(numbered("noFilterList", r));

        grid->addWidget(row.number, r, 0);
        grid->addWidget(row.tag, r, 1);
        grid->addWidget(row.type, r, 2);
        for (QWidget* w : {row.burnout, row.wires, row.noBurnoutOrWires}) grid->addWidget(w, r, 3);
        for (QWidget* w : {row.coldJunction, row.noColdJunction}) grid->addWidget(w, r, 4);
        for (QWidget* w : {row.filter, row.noFilter}) grid->addWidget(w, r, 5);

        display(r, copy_.channels[channel].word);
        connect(row.type, &QComboBox::currentIndexChanged, this, [this, r] { onTypeChanged(r); });
    }

    auto* bottom = new QHBoxLayout;
    layout->addSpacing(fontMetrics().height() / 2);
    layout->addLayout(bottom);
    reference_ = new QLineEdit(ToQt(FormatColdJunction(copy_.SLAVE_CJC)));
    reference_->setObjectName("referenceEdit");
    reference_->setAlignment(Qt::AlignRight);
    reference_->setFixedWidth(reference_->fontMetrics().horizontalAdvance(QStringLiteral("-100.00")) +
                              reference_->fontMetrics().averageCharWidth() * 2);
    auto* referenceLabel = new QLabel(TextQ(TEXT_FIXED_COLD_JUNCTION_REFERENCE));
    referenceLabel->setObjectName("referenceLabel");
    bottom->addWidget(reference_);
    bottom->addWidget(referenceLabel);
    // The reference belongs to the base module's page.
    reference_->setHidden(module != 0);
    referenceLabel->setHidden(module != 0);
    const Buttons buttons = okCancel(bottom);
    connect(buttons.ok, &QPushButton::clicked, this, &AnalogChannelsDialog::onOk);
    connect(buttons.cancel, &QPushButton::clicked, this, &QDialog::reject);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void AnalogChannelsDialog::display(int r, std::uint32_t word)
{
    const Row& row = rows_[r];
    const AnalogChannelSettings s = DecodeAnalogChannelWord(word);
    {
        const QSignalBlocker quiet(row.type);
        SelectComboItem(row.type, static_cast<int>(s.type));
    }
    SelectComboItem(row.burnout, static_cast<int>(s.burnout));
    SelectComboItem(row.wires, static_cast<int>(s.wires));
    SelectComboItem(row.coldJunction, static_cast<int>(s.cold_junction));
    SelectComboItem(row.filter, static_cast<int>(s.filter));
    // By the type the row shows: a stored type that its list lacks (30 above the 16th row,
    // 31..63) shows as "Channel Off" with no other list.
    const AnalogListsShown shown = AnalogListsForType(static_cast<std::uint32_t>(GetComboSelection(row.type)));
    row.burnout->setVisible(shown.burnout);
    row.wires->setVisible(shown.wires);
    row.noBurnoutOrWires->setVisible(!shown.burnout && !shown.wires);
    row.coldJunction->setVisible(shown.coldJunction);
    row.noColdJunction->setVisible(!shown.coldJunction);
    row.filter->setVisible(shown.filter);
    row.noFilter->setVisible(!shown.filter);
}

AnalogChannelSettings AnalogChannelsDialog::readRow(int r) const
{
    const Row& row = rows_[r];
    AnalogChannelSettings s;
    // Hidden lists are read too; the word keeps only what the type carries.
    s.type = static_cast<std::uint32_t>(GetComboSelection(row.type));
    s.burnout = static_cast<std::uint32_t>(GetComboSelection(row.burnout));
    s.cold_junction = static_cast<std::uint32_t>(GetComboSelection(row.coldJunction));
    s.wires = static_cast<std::uint32_t>(GetComboSelection(row.wires));
    s.filter = static_cast<std::uint32_t>(GetComboSelection(row.filter));
    return s;
}

void AnalogChannelsDialog::onTypeChanged(int r)
{
    const std::uint32_t word = EncodeAnalogChannelWord(readRow(r));
    copy_.channels[ANALOG_PAGE_ROWS * module_ + r].word = word;
    display(r, word);
}

void AnalogChannelsDialog::onOk()
{
    std::array<AnalogRowEdit, ANALOG_PAGE_ROWS> edits;
    for (int r = 0; r < ANALOG_PAGE_ROWS; ++r) {
        edits[r].tag = EditText(rows_[r].tag);
        edits[r].settings = readRow(r);
    }
    if (AcceptAnalogPage(state_, copy_, module_, edits, EditText(reference_))) accept();
}

DigitalChannelsDialog::DigitalChannelsDialog(AppState& state, QWidget* parent, int unit)
    : QDialog(parent), state_(state), copy_(state.current.units[unit])
{
    setObjectName("digitalChannelsDialog");
    SetWindowCaption(this, DigitalDialogTitle(unit));

    auto* layout = new QVBoxLayout(this);
    auto* grid = rowsGrid(layout);
    // Channels 1..16 on the left, 17..32 on the right, a gap between the columns.
    grid->setColumnMinimumWidth(4, fontMetrics().averageCharWidth() * 2);
    for (int r = 0; r < DIGITAL_ROWS; ++r) {
        Row& row = rows_[r];
        const int column = r < 16 ? 0 : 5;
        const int line = r % 16;
        row.tag = tagEdit(numbered("tagEdit", r), copy_.channels[r].tag);
        row.mode = choiceList(numbered("modeList", r), ChoiceList::DigitalMode);
        row.scanTime = choiceList(numbered("scanTimeList", r), ChoiceList::ScanTime);
        row.noScanTime = emptyList(numbered("noScanTimeList", r));
        grid->addWidget(channelNumber(numbered("channelNumber", r), r + 1), line, column);
        grid->addWidget(row.tag, line, column + 1);
        grid->addWidget(row.mode, line, column + 2);
        grid->addWidget(row.scanTime, line, column + 3);
        grid->addWidget(row.noScanTime, line, column + 3);

        const DigitalChannelSettings s = DecodeDigitalChannelWord(copy_.channels[r].word);
        SelectComboItem(row.mode, static_cast<int>(s.mode));
        SelectComboItem(row.scanTime, static_cast<int>(s.scan_time));
        showScanTime(r, DigitalScanTimeShown(s.mode));
        connect(row.mode, &QComboBox::currentIndexChanged, this, [this, r] { onModeChanged(r); });
    }

    auto* bottom = new QHBoxLayout;
    layout->addSpacing(fontMetrics().height() / 2);
    layout->addLayout(bottom);
    const Buttons buttons = okCancel(bottom);
    connect(buttons.ok, &QPushButton::clicked, this, &DigitalChannelsDialog::onOk);
    connect(buttons.cancel, &QPushButton::clicked, this, &QDialog::reject);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void DigitalChannelsDialog::showScanTime(int r, bool shown)
{
    rows_[r].scanTime->setVisible(shown);
    rows_[r].noScanTime->setVisible(!shown);
}

void DigitalChannelsDialog::onModeChanged(int r)
{
    const auto mode = static_cast<std::uint32_t>(GetComboSelection(rows_[r].mode));
    const auto scanTime = static_cast<std::uint32_t>(GetComboSelection(rows_[r].scanTime));
    SelectComboItem(rows_[r].scanTime, static_cast<int>(DigitalScanTimeAfterModeChange(mode, scanTime)));
    showScanTime(r, DigitalScanTimeShown(mode));
}

void DigitalChannelsDialog::onOk()
{
    std::array<DigitalRowEdit, DIGITAL_ROWS> edits;
    for (int r = 0; r < DIGITAL_ROWS; ++r) {
        edits[r].tag = EditText(rows_[r].tag);
        edits[r].settings.mode = static_cast<std::uint32_t>(GetComboSelection(rows_[r].mode));
        edits[r].settings.scan_time = static_cast<std::uint32_t>(GetComboSelection(rows_[r].scanTime));
    }
    AcceptDigitalChannels(state_, copy_, edits);
    accept();
}

} // namespace tarn
