// Settings, Serial Port Setup: the ports of the serial and the Modbus link,
// chosen from the ports that can be opened now or typed as a device path, with a
// test of each link. Only Ok keeps a choice.
#pragma once

#include "config/app_state.h"

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;

namespace tarn {

class PortSetupDialog : public QDialog {
    Q_OBJECT
public:
    // Lists the ports and selects the stored ones; a stored port that is not listed is
    // reported (texts 232, 233) and shown as "No Serial".
    explicit PortSetupDialog(QWidget* parent = nullptr);

    QComboBox* SerialList() const { return serial_; }
    QComboBox* ModbusList() const { return modbus_; }
    // The port of a list's entry or typed text; none for "No Serial" or nothing.
    PortSetting ChosenPort(const QComboBox* list) const;

    void TestSerial();
    void TestModbus();
    // Ok: both choices become the stored ports (written to the Settings file at exit).
    void accept() override;

private:
    void Fill(QComboBox* list, const PortSetting& stored, int unavailableText);

    std::vector<std::string> devices_;
    QComboBox* serial_ = nullptr;
    QComboBox* modbus_ = nullptr;
};

} // namespace tarn
