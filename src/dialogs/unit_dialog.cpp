#include "dialogs/unit_dialog.h"

#include "config/app_state.h"
#include "dialogs/config_edits.h"
#include "dialogs/dialog_support.h"
#include "text/text_ids.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace tarn {

UnitDialog::UnitDialog(const AppState& state, QWidget* parent, int unit, int module) : QDialog(parent)
{
    setObjectName("unitDialog");
    SetWindowCaption(this, UnitDialogTitle(unit));
    const UnitDialogOffer offer = UnitDialogOfferFor(state.current.units[unit], module);

    auto* status = new QLabel(TextQ(offer.statusTextId));
    status->setObjectName("installedLabel");
    status->setAlignment(Qt::AlignCenter);
    QFont bold = status->font();
    bold.setBold(true);
    status->setFont(bold);

    auto* layout = new QGridLayout(this);
    layout->addWidget(status, 0, 0, 1, 3);
    layout->setRowMinimumHeight(0, fontMetrics().height() * 5 / 2);
    layout->setColumnStretch(1, 1);
    layout->setColumnMinimumWidth(1, fontMetrics().averageCharWidth() * 20 / 4);

    const char* names[] = {"expansionButton", "changeButton", "channelsButton"};
    for (int i = 0; i < 3; ++i) {
        const UnitDialogButton& offered = offer.buttons[i];
        auto* button = new QPushButton(offered.textId ? TextQ(offered.textId) : QString());
        button->setObjectName(names[i]);
        button->setMinimumWidth(fontMetrics().averageCharWidth() * 110 / 4);
        // A hidden button keeps its place, as in the template.
        QSizePolicy policy = button->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        button->setSizePolicy(policy);
        button->setHidden(offered.textId == 0);
        const int result = offered.result;
        connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
        layout->addWidget(button, 1 + i, 0);
    }

    auto* cancel = new QPushButton(TextQ(TEXT_CANCEL));
    cancel->setObjectName("cancelButton");
    cancel->setDefault(true);
    cancel->setMinimumWidth(fontMetrics().averageCharWidth() * 58 / 4);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(cancel, 3, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace tarn
