#include "app/report_window.h"

#include "app/dialog_units.h"
#include "config/comparison.h"
#include "config/safe_file.h"
#include "text/text_ids.h"
#include "text/texts.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextOption>
#include <QVBoxLayout>

namespace tarn {

namespace {
constexpr int kTabStopUnits[] = {100, 125, 380};
}

ComparisonReportDialog::ComparisonReportDialog(const std::string& report, UserInterface& ui, QWidget* parent)
    : QDialog(parent), report_(report), ui_(ui)
{
    const QFont font = DialogFont(9);
    setFont(font);
    SetWindowCaption(this, GetText(TEXT_COMPARISON_RESULT));

    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("reportText"));
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QTextOption option = text_->document()->defaultTextOption();
    QList<QTextOption::Tab> tabs;
    for (int units : kTabStopUnits) tabs.append(QTextOption::Tab(DialogUnitsX(font, units), QTextOption::LeftTab));
    option.setTabs(tabs);
    text_->document()->setDefaultTextOption(option);
    Show(false);

    // The specified window's controls first; the filter and Save come after them.
    differencesOnly_ = new QCheckBox(ToQt(GetText(TEXT_DIFFERENCES_ONLY)), this);
    differencesOnly_->setObjectName(QStringLiteral("differencesOnly"));
    connect(differencesOnly_, &QCheckBox::toggled, this, &ComparisonReportDialog::Show);
    auto* save = new QPushButton(ToQt(GetText(TEXT_SAVE_REPORT)), this);
    save->setObjectName(QStringLiteral("saveButton"));
    connect(save, &QPushButton::clicked, this, &ComparisonReportDialog::Save);

    // The template's English button in both languages.
    auto* close = new QPushButton(ToQt(GetTextIn(LANGUAGE_ENGLISH, TEXT_CANCEL)), this);
    close->setObjectName(QStringLiteral("cancelButton"));
    close->setMinimumSize(DialogUnitsX(font, 60), DialogUnitsY(font, 18));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    buttons->addStretch();
    buttons->addWidget(differencesOnly_);
    buttons->addWidget(save);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addLayout(buttons);
    resize(QSize(DialogUnitsX(font, 500), DialogUnitsY(font, 300)).boundedTo(RoomOnScreen(this)));
}

void ComparisonReportDialog::Show(bool differencesOnly)
{
    shown_ = differencesOnly ? tarn::DifferencesOnly(report_) : report_;
    QString body = ToQt(shown_);
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text_->setPlainText(body);
}

bool ComparisonReportDialog::Save()
{
    std::optional<std::string> path = ui_.ChooseFileToSave(GetText(TEXT_SAVE_REPORT), GetText(TEXT_TEXT_FILES) + " (*.txt)");
    if (!path) return false;
    // The file rule of the configuration files: a name without any dot gets the extension.
    if (path->find('.') == std::string::npos) *path += ".txt";
    if (SaveFileSafely(*path, shown_) == SaveResult::Saved) return true;
    ShowErrorBox(ui_, GetText(TEXT_FILE_WRITE_FAILED) + ": " + *path);
    return false;
}

QList<qreal> ComparisonReportDialog::TabStops() const
{
    QList<qreal> stops;
    for (const QTextOption::Tab& tab : text_->document()->defaultTextOption().tabs()) stops.append(tab.position);
    return stops;
}

} // namespace tarn
