// Settings, Preferences: the document information of the current configuration
// (organization, four address lines, document, two operators), which heads the
// printout and is kept in the configuration file.
#pragma once

#include "config/app_state.h"

#include <QDialog>

#include <array>

class QLineEdit;
class QPushButton;

namespace tarn {

// The longest document text whose statement line the configuration reader takes back:
// a line holds 299 characters, of which the keyword column takes 19 and the quotes 2.
inline constexpr int DOCUMENT_TEXT_LENGTH = 278;

class DocumentOptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit DocumentOptionsDialog(AppState& state, QWidget* parent = nullptr);

    // The edits in the order ORGANIZATION, ADDRESS_1..4, DOCUMENT, OPERATOR_1, OPERATOR_2.
    const std::array<QLineEdit*, 8>& Edits() const { return edits_; }

    // Ok: the texts go into the current image; a changed text marks the configuration as
    // changed for the file (the gateway does not hold these texts).
    void accept() override;

private:
    AppState& state_;
    std::array<QLineEdit*, 8> edits_{};
};

} // namespace tarn
