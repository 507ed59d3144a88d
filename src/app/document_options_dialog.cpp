#include "app/document_options_dialog.h"

#include "app/dialog_units.h"
#include "config/app_state.h"
#include "dialogs/file_text_edit.h"
#include "text/text_ids.h"
#include "text/texts.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarn {

namespace {

using TextField = char[TEXT_CAPACITY];

std::array<TextField*, 8> Fields(SystemConfiguration& c)
{
    return {&c.ORGANIZATION, &c.ADDRESS[0], &c.ADDRESS[1], &c.ADDRESS[2], &c.ADDRESS[3],
            &c.DOCUMENT, &c.OPERATOR_1, &c.OPERATOR_2};
}

} // namespace

DocumentOptionsDialog::DocumentOptionsDialog(AppState& state, QWidget* parent) : QDialog(parent), state_(state)
{
    const QFont font = DialogFont(9);
    setFont(font);
    SetWindowCaption(this, GetText(TEXT_DOCUMENT_OPTIONS_TITLE));

    const auto fields = Fields(state_.current);
    const char* names[] = {"organization", "address1", "address2", "address3", "address4",
                           "document", "operator1", "operator2"};
    for (std::size_t i = 0; i < edits_.size(); ++i) {
        edits_[i] = new QLineEdit(this);
        edits_[i]->setObjectName(QString::fromLatin1(names[i]));
        MakeFileTextEdit(edits_[i], DOCUMENT_TEXT_LENGTH);
        SetEditText(edits_[i], std::string(FieldText(*fields[i])));
        edits_[i]->setMinimumWidth(DialogUnitsX(font, 390));
    }

    auto* layout = new QVBoxLayout(this);
    // Group boxes 241..244 hold one, four, one and two of the edits.
    const int groups[][2] = {{TEXT_DOCUMENT_ORGANIZATION, 1}, {TEXT_DOCUMENT_ADDRESS, 4}, {TEXT_DOCUMENT_DOCUMENT, 1}, {TEXT_DOCUMENT_OPERATORS, 2}};
    std::size_t next = 0;
    for (const auto& group : groups) {
        auto* box = new QGroupBox(ToQt(GetText(group[0])), this);
        auto* inner = new QVBoxLayout(box);
        for (int n = 0; n < group[1]; ++n) inner->addWidget(edits_[next++]);
        layout->addWidget(box);
    }

    auto* cancel = new QPushButton(ToQt(GetText(TEXT_CANCEL)), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    auto* ok = new QPushButton(ToQt(GetText(TEXT_OK)), this);
    ok->setObjectName(QStringLiteral("okButton"));
    // Cancel, not Ok, is the default: Enter in a field leaves the texts as they were.
    cancel->setDefault(true);
    ok->setAutoDefault(false);
    for (QPushButton* button : {cancel, ok}) button->setMinimumWidth(DialogUnitsX(font, 60));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(ok);
    layout->addLayout(buttons);
}

void DocumentOptionsDialog::accept()
{
    AppState& state = state_;
    const auto fields = Fields(state.current);
    bool changed = false;
    for (std::size_t i = 0; i < edits_.size(); ++i) {
        const std::string text = EditText(edits_[i]);
        if (text == FieldText(*fields[i])) continue;
        SetFieldText(*fields[i], text);
        changed = true;
    }
    if (changed) state.FileModified = true;
    QDialog::accept();
}

} // namespace tarn
