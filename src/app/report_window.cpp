#include "app/report_window.h"

#include "app/dialog_units.h"
#include "text/text_ids.h"
#include "text/texts.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextOption>
#include <QVBoxLayout>

namespace tarn {

namespace {
constexpr int kTabStopUnits[] = {100, 125, 380};
}

ComparisonReportDialog::ComparisonReportDialog(const std::string& report, QWidget* parent) : QDialog(parent)
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
    QString body = ToQt(report);
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text_->setPlainText(body);

    // The template's English button in both languages.
    auto* close = new QPushButton(ToQt(GetTextIn(LANGUAGE_ENGLISH, TEXT_CANCEL)), this);
    close->setObjectName(QStringLiteral("cancelButton"));
    close->setMinimumSize(DialogUnitsX(font, 60), DialogUnitsY(font, 18));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addLayout(buttons);
    resize(QSize(DialogUnitsX(font, 500), DialogUnitsY(font, 300)).boundedTo(RoomOnScreen(this)));
}

QList<qreal> ComparisonReportDialog::TabStops() const
{
    QList<qreal> stops;
    for (const QTextOption::Tab& tab : text_->document()->defaultTextOption().tabs()) stops.append(tab.position);
    return stops;
}

} // namespace tarn
