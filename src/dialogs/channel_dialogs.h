// The channel dialogs of one slave unit: the analog dialog shows one page of 16 channels
// of a KX913 (module m), with the unit's fixed cold junction reference on the base page;
// the digital dialog shows the 32 channels of a KX927. Both edit a working copy of the
// Unit record, which EditChannels puts back over the current image only on Ok.
#pragma once

#include "config/app_state.h"
#include "config/channel_word.h"
#include "config/model.h"

#include <QDialog>

#include <array>

class QComboBox;
class QLabel;
class QLineEdit;

namespace tarn {

// The analog dialog for a KX913 unit, else the digital dialog; then the main window is
// repainted at once. unit 0..3, module 0..3.
void EditChannels(AppState& state, QWidget* parent, int unit, int module);

class AnalogChannelsDialog : public QDialog {
    Q_OBJECT
public:
    AnalogChannelsDialog(AppState& state, QWidget* parent, int unit, int module);
    const UnitRecord& WorkingCopy() const { return copy_; }

private:
    AppState& state_;
    struct Row {
        QLabel* number;
        QLineEdit* tag;
        QComboBox* type;
        QComboBox* burnout;
        QComboBox* wires;         // in the burnout column, shown instead of it
        QComboBox* coldJunction;
        QComboBox* filter;
        // disabled and empty, shown where the row's own list is hidden
        QComboBox* noBurnoutOrWires;
        QComboBox* noColdJunction;
        QComboBox* noFilter;
    };

    void display(int row, std::uint32_t word);
    AnalogChannelSettings readRow(int row) const;
    void onTypeChanged(int row);
    void onOk();

    int module_;
    UnitRecord copy_;
    std::array<Row, 16> rows_{};
    QLineEdit* reference_;
};

class DigitalChannelsDialog : public QDialog {
    Q_OBJECT
public:
    DigitalChannelsDialog(AppState& state, QWidget* parent, int unit);
    const UnitRecord& WorkingCopy() const { return copy_; }

private:
    AppState& state_;
    struct Row {
        QLineEdit* tag;
        QComboBox* mode;
        QComboBox* scanTime;
        QComboBox* noScanTime;  // disabled and empty, shown while the mode is off
    };

    void showScanTime(int row, bool shown);
    void onModeChanged(int row);
    void onOk();

    UnitRecord copy_;
    std::array<Row, 32> rows_{};
};

} // namespace tarn
