// The read-only window that shows a comparison report, modal over its owner; it can
// show the differences alone and save what it shows as a text file.
#pragma once

#include "text/user_interface.h"

#include <QDialog>

#include <string>

class QCheckBox;
class QPlainTextEdit;

namespace tarn {

class ComparisonReportDialog : public QDialog {
    Q_OBJECT
public:
    // report: Windows-1252, CR LF line ends, tab-separated columns. ui chooses the file of Save
    // and shows its errors; it must outlive the window.
    ComparisonReportDialog(const std::string& report, UserInterface& ui, QWidget* parent = nullptr);

    QPlainTextEdit* Text() const { return text_; }
    QCheckBox* DifferencesOnly() const { return differencesOnly_; }
    // The report as shown (whole, or its differences), in its own bytes.
    const std::string& Shown() const { return shown_; }
    // Save...: the report as shown, to a file chosen through ui, with the safe save; false when
    // nothing was written (cancelled, or the error shown).
    bool Save();
    // The tab stops of the text in pixels: 100, 125 and 380 dialog units.
    QList<qreal> TabStops() const;

private:
    void Show(bool differencesOnly);

    std::string report_;
    std::string shown_;
    UserInterface& ui_;
    QPlainTextEdit* text_ = nullptr;
    QCheckBox* differencesOnly_ = nullptr;
};

} // namespace tarn
