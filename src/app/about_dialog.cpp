#include "app/about_dialog.h"

#include "app/dialog_units.h"
#include "text/text_ids.h"
#include "text/texts.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarn {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    const QFont font = DialogFont(15);
    setFont(font);
    SetWindowCaption(this, GetText(TEXT_ABOUT_TITLE));

    auto* text = new QLabel(ToQt(GetText(TEXT_ABOUT_PROGRAM_VERSION)), this);
    text->setObjectName(QStringLiteral("versionText"));
    text->setAlignment(Qt::AlignCenter);
    text->setMinimumWidth(DialogUnitsX(font, 130));
    auto* ok = new QPushButton(ToQt(GetText(TEXT_OK)), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addSpacing(DialogUnitsY(font, 20));
    layout->addWidget(ok, 0, Qt::AlignHCenter);
}

} // namespace tarn
