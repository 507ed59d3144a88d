#include "dialogs/repeater_dialog.h"

#include "config/app_state.h"
#include "dialogs/config_edits.h"
#include "dialogs/dialog_support.h"
#include "text/text_ids.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarn {

RepeaterDialog::RepeaterDialog(AppState& state, QWidget* parent, int repeater)
    : QDialog(parent), state_(state), repeater_(repeater)
{
    setObjectName("repeaterDialog");
    // Unlike the other configuration dialogs, the title has no leading blank.
    setWindowTitle(ToQt(RepeaterDialogTitle(repeater)));
    const SystemConfiguration& c = state_.current;

    unit_ = new QComboBox;
    unit_->setObjectName("unitList");
    for (int u = 0; u < UNIT_COUNT; ++u) unit_->addItem(ToQt(RepeaterEntryText(c, u)));
    SelectComboItem(unit_, static_cast<int>(c.MASTER_REPT_MAT[repeater]));
    auto* matrix = new QLabel(TextQ(TEXT_ASSIGNMENT_MATRIX));
    matrix->setObjectName("assignmentLabel");

    auto* layout = new QVBoxLayout(this);
    auto* frame = new QGroupBox;
    auto* row = new QHBoxLayout(frame);
    row->addWidget(unit_);
    row->addWidget(matrix, 1);
    layout->addWidget(frame);

    auto* ok = new QPushButton(TextQ(TEXT_OK));
    ok->setObjectName("okButton");
    ok->setDefault(true);
    auto* cancel = new QPushButton(TextQ(TEXT_CANCEL));
    cancel->setObjectName("cancelButton");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(ok, &QPushButton::clicked, this, [this] {
        AcceptRepeaterAssignment(state_, repeater_, GetComboSelection(unit_));
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

} // namespace tarn
