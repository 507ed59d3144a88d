// Runs the dialogs that the openers start from a script, without timers: each dialog is
// shown and handed to the next step, which works its widgets by object name; a dialog that a
// step leaves open is cancelled, as the user would close it.
#pragma once

#include "config/default_config.h"
#include "dialogs/dialog_support.h"
#include "support/recording_ui.h"
#include "support/sample_installation.h"

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <deque>
#include <functional>

namespace tarn::testing {

template <class W = QComboBox>
W* Find(QWidget& dialog, const QString& name)
{
    auto* widget = dialog.findChild<W*>(name);
    if (!widget) qFatal("no %s in %s", qPrintable(name), qPrintable(dialog.objectName()));
    return widget;
}
inline QLineEdit* Edit(QWidget& d, const QString& name) { return Find<QLineEdit>(d, name); }
inline void Click(QWidget& d, const QString& name) { QTest::mouseClick(Find<QAbstractButton>(d, name), Qt::LeftButton); }
inline void Type(QWidget& d, const QString& name, const QString& text)
{
    Edit(d, name)->clear();
    QTest::keyClicks(Edit(d, name), text);
}

// A fresh state holding the built-in default, a recorder, and the script of dialog steps.
class DialogFixture : public DialogHost {
public:
    using Step = std::function<void(QDialog&)>;

    DialogFixture()
    {
        BuildDefaultConfiguration(state.current);
        core.ui.dialogs = this;
    }

    int Run(QDialog& dialog) override
    {
        opened << dialog.objectName();
        dialog.show();
        if (!steps.empty()) {
            const Step step = std::move(steps.front());
            steps.pop_front();
            if (step) step(dialog);
        }
        if (dialog.isVisible()) dialog.reject();
        return dialog.result();
    }

    CoreFixture core;
    AppState& state = core.state;
    RecordingUserInterface& ui = core.ui;
    std::deque<Step> steps;
    QStringList opened;  // object names of the dialogs run, in order
};

} // namespace tarn::testing
