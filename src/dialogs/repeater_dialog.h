// The repeater configuration dialog: which unit repeater r serves. Units that are not a
// KX927 are marked "Invalid Assignment" in the list but may be chosen all the same.
#pragma once

#include "config/app_state.h"

#include <QDialog>

class QComboBox;

namespace tarn {

class RepeaterDialog : public QDialog {
    Q_OBJECT
public:
    // repeater 0..3
    RepeaterDialog(AppState& state, QWidget* parent, int repeater);

private:
    AppState& state_;
    int repeater_;
    QComboBox* unit_;
};

} // namespace tarn
