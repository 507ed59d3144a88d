#include "app/port_setup_dialog.h"

#include "app/dialog_units.h"
#include "link/network_port.h"
#include "link/port_setup.h"
#include "serial/qt_serial_device.h"
#include "text/text_ids.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <QComboBox>
#include <QStandardItemModel>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QAbstractItemView>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace tarn {

namespace {

bool Opens(const std::string& device)
{
    QtSerialDevice probe;
    return !probe.Open(device, LineSettings{});
}

// The characters of a port name the lists show without scrolling.
constexpr int kPortTextLength = 40;

QString DeviceText(const std::string& device) { return QFile::decodeName(QByteArray::fromStdString(device)); }

} // namespace

PortSetupDialog::PortSetupDialog(GatewayLinks& links, QWidget* parent) : QDialog(parent), links_(links)
{
    const QFont font = DialogFont(9);
    setFont(font);
    // This caption has no leading blank.
    setWindowTitle(ToQt(GetText(TEXT_PORT_SETUP_TITLE)));

    const AppState& state = links_.state();
    // Every port the system reports, those that do not open greyed; then the stored ports it
    // does not report that open now (pseudo-terminals) or are network ports.
    ports_ = SerialPortList();
    std::vector<std::string> known;
    for (const PortListEntry& port : ports_) {
        known.push_back(port.path);
        if (!port.byId.empty()) known.push_back(port.byId);
    }
    const std::vector<std::string> listed = PortListEntries(known, state.serialPort, state.modbusPort, Opens);
    for (std::size_t i = known.size(); i < listed.size(); ++i) ports_.push_back(PortListEntry{listed[i], {}, {}, {}, {}, {}});

    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(DialogUnitsY(font, 12));
    const struct {
        int label, button;
        const char* list;
        const char* test;
        QComboBox** combo;
    } rows[] = {{222, 224, "serialList", "testSerialButton", &serial_}, {223, 225, "modbusList", "testModbusButton", &modbus_}};
    int row = 0;
    for (const auto& r : rows) {
        auto* combo = new QComboBox(this);
        combo->setObjectName(QString::fromLatin1(r.list));
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        // Wider than the template's 85 units: the entries are device paths, not "COM3". A long
        // /dev/serial/by-id name shows whole in the open list; the box itself stays narrow
        // enough for small screens and scrolls its text.
        combo->setMinimumWidth(DialogUnitsX(font, 150));
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->setMinimumContentsLength(kPortTextLength);
        *r.combo = combo;
        auto* test = new QPushButton(ToQt(GetText(r.button)), this);
        test->setObjectName(QString::fromLatin1(r.test));
        test->setAutoDefault(false);
        test->setMinimumWidth(DialogUnitsX(font, 80));
        grid->addWidget(new QLabel(ToQt(GetText(r.label)), this), row, 0);
        grid->addWidget(combo, row, 1);
        grid->addWidget(test, row, 2);
        ++row;
        if (r.combo == &serial_) connect(test, &QPushButton::clicked, this, &PortSetupDialog::TestSerial);
        else connect(test, &QPushButton::clicked, this, &PortSetupDialog::TestModbus);
    }
    grid->setColumnStretch(1, 1);

    Fill(serial_, state.serialPort, 232);
    Fill(modbus_, state.modbusPort, 233);

    // Stands where a serial port's line settings would: a device server has its own.
    networkNote_ = new QLabel(ToQt(GetText(TEXT_NETWORK_PORT_NOTE)), this);
    networkNote_->setObjectName(QStringLiteral("networkNote"));
    networkNote_->setWordWrap(true);
    grid->addWidget(networkNote_, row, 0, 1, 3);
    for (QComboBox* list : {serial_, modbus_})
        connect(list, &QComboBox::currentTextChanged, this, &PortSetupDialog::ShowNetworkNote);
    ShowNetworkNote();

    auto* ok = new QPushButton(ToQt(GetText(TEXT_OK)), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(ToQt(GetText(TEXT_CANCEL)), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);
    for (QPushButton* button : {ok, cancel}) button->setMinimumWidth(DialogUnitsX(font, 50));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(DialogUnitsY(font, 10));
    layout->addLayout(buttons);
}

void PortSetupDialog::Fill(QComboBox* list, const PortSetting& stored, int unavailableText)
{
    list->addItem(ToQt(GetText(TEXT_NO_SERIAL)));
    auto* model = qobject_cast<QStandardItemModel*>(list->model());
    std::vector<std::string> names;
    for (const PortListEntry& port : ports_) {
        list->addItem(ToQt(PortEntryLabel(port)));
        // Greyed: it stays in sight with its reason, but cannot be picked.
        if (!port.Opens()) model->item(list->count() - 1)->setEnabled(false);
        // A stored device path finds the entry that now goes by its by-id name.
        const std::string device = stored.DevicePath();
        names.push_back(device == port.path ? device : port.StoredName());
    }
    StoredPortSelection selection = SelectStoredPort(names, stored);
    // A stored port that is there but does not open is reported as not there.
    if (!selection.unavailable && selection.index > 0 && !ports_[static_cast<std::size_t>(selection.index - 1)].Opens()) {
        selection.unavailable = true;
        selection.index = static_cast<int>(ports_.size()) + 1;
    }
    if (selection.unavailable) {
        // The stored port stays the choice until the user picks another: an adapter that is
        // unplugged while the dialog is only looked at must not lose its setup.
        list->addItem(DeviceText(stored.DevicePath()) + QStringLiteral(" (") + TextQ(TEXT_PORT_NOT_PRESENT) + QLatin1Char(')'));
        (list == serial_ ? absentSerial_ : absentModbus_) = stored;
        pendingMessages_.push_back(UnavailableStoredPortText(unavailableText, stored));
    }
    list->setCurrentIndex(selection.index);
    list->view()->setMinimumWidth(list->view()->sizeHintForColumn(0));
}

void PortSetupDialog::ShowNetworkNote()
{
    const bool network = IsNetworkPortName(ChosenPort(serial_).name) || IsNetworkPortName(ChosenPort(modbus_).name);
    networkNote_->setVisible(network);
}

PortSetting PortSetupDialog::ChosenPort(const QComboBox* list) const
{
    const QString text = list->currentText().trimmed();
    if (text.isEmpty() || text == ToQt(GetText(TEXT_NO_SERIAL))) return {};
    // A network port is kept as typed: it is no path below the working directory.
    if (IsNetworkPortName(FromQt(text))) return PortSetting{0, FromQt(text)};
    const int index = list->findText(text, Qt::MatchExactly);
    if (index > 0 && static_cast<std::size_t>(index) <= ports_.size())
        return PortSettingForDevice(ports_[static_cast<std::size_t>(index - 1)].StoredName());
    const std::optional<PortSetting>& absent = list == serial_ ? absentSerial_ : absentModbus_;
    if (index > 0 && absent) return *absent;
    // A typed path; one relative to the working directory is kept whole, so that it still
    // names the same device after a file dialog has moved elsewhere.
    QString path = text;
    if (path.contains(QLatin1Char('/')) && QDir::isRelativePath(path)) path = QDir::current().absoluteFilePath(path);
    return PortSettingForDevice(QFile::encodeName(path).toStdString());
}

void PortSetupDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The reports of absent ports come once the dialog is on the screen, over it and owned by
    // it, so that the user sees which setup they are about.
    if (!pendingMessages_.empty())
        QTimer::singleShot(0, this, [this] {
            const std::vector<std::string> messages = std::move(pendingMessages_);
            pendingMessages_.clear();
            for (const std::string& text : messages) ShowErrorBox(*links_.state().ui, text);
        });
}

void PortSetupDialog::TestSerial() { TestSerialLink(links_, ChosenPort(serial_)); }

void PortSetupDialog::TestModbus() { TestModbusLink(links_, ChosenPort(modbus_)); }

void PortSetupDialog::accept()
{
    AppState& state = links_.state();
    state.serialPort = ChosenPort(serial_);
    state.modbusPort = ChosenPort(modbus_);
    QDialog::accept();
}

} // namespace tarn
