// The read-only window that shows a comparison report, modal over its owner.
#pragma once

#include <QDialog>

#include <string>

class QPlainTextEdit;

namespace tarn {

class ComparisonReportDialog : public QDialog {
    Q_OBJECT
public:
    // report: Windows-1252, CR LF line ends, tab-separated columns.
    explicit ComparisonReportDialog(const std::string& report, QWidget* parent = nullptr);

    QPlainTextEdit* Text() const { return text_; }
    // The tab stops of the text in pixels: 100, 125 and 380 dialog units.
    QList<qreal> TabStops() const;

private:
    QPlainTextEdit* text_ = nullptr;
};

} // namespace tarn
