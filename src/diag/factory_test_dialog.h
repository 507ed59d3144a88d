// The dialog of the factory test functions: the fields and buttons of its template
// with their fixed English texts, over the engine; the 20 ms timer is "tickTimer".
#pragma once

#include "diag/factory_test.h"

#include <QDialog>
#include <QTimer>

#include <array>

class QLineEdit;
class QPushButton;

namespace tarn {

class FactoryTestDialog : public QDialog {
    Q_OBJECT
public:
    explicit FactoryTestDialog(FactoryTest& test, QWidget* parent = nullptr);

    void RunTick();
    // Cancel, Escape and the close button: end the dialog while neither cycle runs.
    void reject() override;

private:
    void Collect();  // the edits into the engine's fields
    void Apply();    // the engine's fields, counts and button states into the dialog

    FactoryTest& test_;
    QTimer timer_;
    std::array<QLineEdit*, FT_COLUMNS> commands_{};
    std::array<QLineEdit*, FT_COLUMNS> tolerances_{};
    std::array<QLineEdit*, FT_COLUMNS> replies_{};
    QLineEdit* modbusValue_;
    QLineEdit* serialCycles_;
    QLineEdit* serialErrors_;
    QLineEdit* modbusCycles_;
    QLineEdit* modbusErrors_;
    QPushButton* send_;
    QPushButton* startSerial_;
    QPushButton* stopSerial_;
    QPushButton* startModbus_;
    QPushButton* stopModbus_;
    QPushButton* clearErrors_;
    QPushButton* cancel_;
};

} // namespace tarn
