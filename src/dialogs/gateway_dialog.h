// The gateway configuration dialog: tag, field connection, line frequency, number of
// repeaters and the Modbus parameters of the current image. Cancel is the default button
// and has the focus first, so Enter without a click cancels.
#pragma once

#include "config/app_state.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tarn {

class GatewayDialog : public QDialog {
    Q_OBJECT
public:
    explicit GatewayDialog(AppState& state, QWidget* parent = nullptr);

private:
    AppState& state_;
    void onOk();

    QLineEdit* tag_;
    QComboBox* cable_;
    QComboBox* frequency_;
    QComboBox* repeaters_;
    QLineEdit* address_;
    QComboBox* baud_;
    QComboBox* format_;
    QComboBox* modbusConfig_;
};

} // namespace tarn
