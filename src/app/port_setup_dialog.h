// Settings, Serial Port Setup: the ports of the serial and the Modbus link, chosen from
// the ports the system reports (by their by-id names, with the adapter; those that cannot
// be opened greyed with the reason) or typed as a device path or a network port
// (tcp://HOST:PORT), with a test of each link. Only Ok keeps a choice; a port with a
// by-id name is kept by that name.
#pragma once

#include "config/app_state.h"
#include "link/link.h"
#include "link/port_list.h"

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;

namespace tarn {

class PortSetupDialog : public QDialog {
    Q_OBJECT
public:
    // Lists the ports and selects the stored ones. A stored port that is not there gets an
    // entry of its own, marked as not present and selected, so that Ok keeps it; once the
    // dialog is shown it is reported (texts 232, 233, naming the port).
    // links: the session's, whose state holds the stored ports and whose devices test a port.
    explicit PortSetupDialog(GatewayLinks& links, QWidget* parent = nullptr);

    QComboBox* SerialList() const { return serial_; }
    QComboBox* ModbusList() const { return modbus_; }
    // The port of a list's entry or typed text; none for "No Serial" or nothing.
    PortSetting ChosenPort(const QComboBox* list) const;

    void TestSerial();
    void TestModbus();
    // Ok: both choices become the stored ports (written to the Settings file at exit).
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Fill(QComboBox* list, const PortSetting& stored, int unavailableText);
    // The note on network ports, shown while either choice is one.
    void ShowNetworkNote();

    GatewayLinks& links_;

    std::vector<PortListEntry> ports_;
    QComboBox* serial_ = nullptr;
    QComboBox* modbus_ = nullptr;
    QLabel* networkNote_ = nullptr;
    // The stored port of each list when it is not there: its entry follows the devices.
    std::optional<PortSetting> absentSerial_;
    std::optional<PortSetting> absentModbus_;
    std::vector<std::string> pendingMessages_;
};

} // namespace tarn
