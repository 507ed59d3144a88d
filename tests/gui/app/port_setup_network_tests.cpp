// Port Setup with network ports: a stored tcp:// port is listed as it is (never probed), the
// dialog notes that a device server keeps its own line settings, and both link tests work
// through the desktop program's threaded devices against kx940-sim serving TCP.
#include "app/port_setup_dialog.h"
#include "config/config_file.h"
#include "config/default_config.h"
#include "e2e/e2e_support.h"
#include "serial/threaded_serial_device.h"
#include "support/files.h"
#include "support/recording_ui.h"
#include "text/text_ids.h"
#include "text/texts.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTest>

namespace tarn {

class PortSetupNetworkTests : public QObject {
    Q_OBJECT
private slots:
    void networkPorts()
    {
        testing::TempDir dir;
        testing::RecordingUserInterface ui;
        Session session(ui, ThreadedSerialDevices());
        BuildDefaultConfiguration(session.current);
        e2e::Simulator sim;
        std::string error;
        const std::string file = testing::WriteFile(dir.file("gw.mcf"), FormatConfiguration(session.current));
        QVERIFY2(sim.Start(TARN_SIMULATOR, dir.file("links"), {"--tcp", "0", "--config", file}, error), error.c_str());
        session.serialPort = {0, sim.serialLink};

        PortSetupDialog d(session.links);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        auto* note = d.findChild<QLabel*>(QStringLiteral("networkNote"));
        QVERIFY(note);
        // The stored network port is an entry of the list, not a port reported absent.
        QCOMPARE(d.SerialList()->currentText().toStdString(), sim.serialLink);
        QCOMPARE(d.ChosenPort(d.SerialList()), (PortSetting{0, sim.serialLink}));
        QVERIFY(note->isVisible());
        // The note follows the choice: a serial device alone has line settings of its own.
        d.SerialList()->setCurrentIndex(0);
        d.ModbusList()->setEditText(QStringLiteral("/dev/ttyUSB1"));
        QVERIFY(!note->isVisible());
        d.ModbusList()->setEditText(QString::fromStdString(sim.modbusLink));
        QVERIFY(note->isVisible());

        d.SerialList()->setEditText(QString::fromStdString(sim.serialLink));
        d.TestSerial();
        d.TestModbus();
        QCOMPARE(ui.messages.size(), std::size_t{2});
        for (const auto& message : ui.messages) QCOMPARE(message.text, GetText(TEXT_GATEWAY_COMMUNICATION_OK));
        d.accept();
        QCOMPARE(session.modbusPort, (PortSetting{0, sim.modbusLink}));
    }
};

} // namespace tarn

QTEST_MAIN(tarn::PortSetupNetworkTests)
#include "port_setup_network_tests.moc"
