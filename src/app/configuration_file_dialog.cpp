#include "app/configuration_file_dialog.h"

#include "dialogs/dialog_support.h"
#include "text/text_ids.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace tarn {

namespace {

// The same rule as the save itself: any dot in the path, folders included, keeps it as it is;
// else the extension of the filter's pattern ("(*.mcf)") is appended.
QString WrittenName(const QString& chosen, const QString& filter)
{
    if (chosen.contains(QLatin1Char('.'))) return chosen;
    const QRegularExpressionMatch pattern = QRegularExpression(QStringLiteral("\\*(\\.\\w+)")).match(filter);
    return chosen + (pattern.hasMatch() ? pattern.captured(1) : QStringLiteral(".mcf"));
}

} // namespace

ConfigurationFileDialog::ConfigurationFileDialog(UserInterface& ui, QWidget* parent, const QString& title,
                                                 const QString& filter, AcceptMode mode)
    : QFileDialog(parent, title, QString(), filter), ui_(ui), filter_(filter)
{
    setOption(QFileDialog::DontUseNativeDialog);
    // The save dialog asks itself, for the name that will be written (see accept()).
    setOption(QFileDialog::DontConfirmOverwrite);
    setAcceptMode(mode);
    setFileMode(mode == AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
}

std::optional<std::string> ConfigurationFileDialog::Choose()
{
    if (exec() != QDialog::Accepted || chosen_.isEmpty()) return std::nullopt;
    return QFile::encodeName(chosen_).toStdString();
}

void ConfigurationFileDialog::accept()
{
    // Enter in the name field, the Save button and a double-click all end here. The field's
    // text cannot be replaced while it has the focus, so the name that will be written is
    // worked out here and kept, not put back into the dialog.
    chosen_.clear();
    const QStringList files = selectedFiles();
    if (files.size() == 1) {
        QString target = files.front();
        if (acceptMode() == AcceptSave && !QFileInfo(target).isDir()) {
            target = WrittenName(target, selectedNameFilter());
            if (QFileInfo::exists(target) &&
                !AskYesNo(ui_, FromQt(QFileInfo(target).fileName()) + "\n\n" + GetText(TEXT_REPLACE_EXISTING_FILE)))
                return;
        }
        chosen_ = target;
    }
    // A folder is entered instead, as Qt's dialog does; nothing more is asked.
    QFileDialog::accept();
}

} // namespace tarn
