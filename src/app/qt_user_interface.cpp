#include "app/qt_user_interface.h"

#include "app/configuration_file_dialog.h"
#include "app/dialog_units.h"
#include "app/main_window.h"
#include "app/report_window.h"
#include "view/main_view.h"

#include <QApplication>
#include <QMessageBox>

namespace tarn {

namespace {

QMessageBox::Icon BoxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QWidget* QtModalDialogs::Owner() const
{
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    // Before the window is shown and after it has closed, boxes stand on their own.
    return window_ && window_->isVisible() ? window_.data() : nullptr;
}

void QtModalDialogs::ShowMessage(MessageIcon icon, const std::string& caption, const std::string& text)
{
    ShowMessageWithDetails(icon, caption, text, {});
}

void QtModalDialogs::ShowMessageWithDetails(MessageIcon icon, const std::string& caption, const std::string& text,
                                            const std::string& details)
{
    QMessageBox box(BoxIcon(icon), ToQt(caption), ToQt(text), QMessageBox::Ok, Owner());
    if (!details.empty()) box.setDetailedText(ToQt(details));
    box.exec();
}

bool QtModalDialogs::AskYesNo(const std::string& caption, const std::string& text)
{
    QMessageBox box(QMessageBox::Question, ToQt(caption), ToQt(text), QMessageBox::Yes | QMessageBox::No, Owner());
    return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> QtModalDialogs::ChooseFileToOpen(const std::string& title, const std::string& filter)
{
    ConfigurationFileDialog dialog(*this, Owner(), ToQt(title), ToQt(filter), QFileDialog::AcceptOpen);
    return dialog.Choose();
}

std::optional<std::string> QtModalDialogs::ChooseFileToSave(const std::string& title, const std::string& filter)
{
    ConfigurationFileDialog dialog(*this, Owner(), ToQt(title), ToQt(filter), QFileDialog::AcceptSave);
    return dialog.Choose();
}

void QtModalDialogs::ShowComparisonReport(const std::string& report)
{
    ComparisonReportDialog dialog(report, *this, Owner());
    dialog.exec();
}

QtUserInterface::QtUserInterface() = default;

QtUserInterface::~QtUserInterface() = default;

void QtUserInterface::AttachWindow(MainWindow* window)
{
    window_ = window;
    dialogs_.SetMainWindow(window);
}

void QtUserInterface::SetModalSink(UserInterface* sink) { sink_ = sink; }

UserInterface& QtUserInterface::Modal()
{
    if (window_) window_->ApplyPendingView();
    return sink_ ? *sink_ : dialogs_;
}

void QtUserInterface::ShowMessage(MessageIcon icon, const std::string& caption, const std::string& text)
{
    Modal().ShowMessage(icon, caption, text);
}

void QtUserInterface::ShowMessageWithDetails(MessageIcon icon, const std::string& caption, const std::string& text,
                                             const std::string& details)
{
    Modal().ShowMessageWithDetails(icon, caption, text, details);
}

bool QtUserInterface::AskYesNo(const std::string& caption, const std::string& text)
{
    return Modal().AskYesNo(caption, text);
}

std::optional<std::string> QtUserInterface::ChooseFileToOpen(const std::string& title, const std::string& filter)
{
    return Modal().ChooseFileToOpen(title, filter);
}

std::optional<std::string> QtUserInterface::ChooseFileToSave(const std::string& title, const std::string& filter)
{
    return Modal().ChooseFileToSave(title, filter);
}

void QtUserInterface::ShowComparisonReport(const std::string& report) { Modal().ShowComparisonReport(report); }

void QtUserInterface::SetStatusMessage(const std::string& text)
{
    if (!window_) return;
    window_->ApplyPendingView();
    window_->View()->SetStatusMessage(text);
}

void QtUserInterface::SetProgress(int percent)
{
    if (!window_) return;
    window_->ApplyPendingView();
    window_->View()->SetProgress(percent);
}

} // namespace tarn
