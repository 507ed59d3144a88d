#include "app/configuration_file_dialog.h"

#include <QFile>
#include <QFileInfo>

namespace tarn {

ConfigurationFileDialog::ConfigurationFileDialog(QWidget* parent, const QString& title, const QString& filter,
                                                 AcceptMode mode)
    : QFileDialog(parent, title, QString(), filter)
{
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(mode);
    setFileMode(mode == AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
}

std::optional<std::string> ConfigurationFileDialog::Choose()
{
    if (exec() != QDialog::Accepted || selectedFiles().isEmpty()) return std::nullopt;
    return QFile::encodeName(selectedFiles().front()).toStdString();
}

void ConfigurationFileDialog::accept()
{
    // The same rule as the save itself: any dot in the path, folders included, keeps it as it is.
    const QStringList files = selectedFiles();
    if (acceptMode() == AcceptSave && files.size() == 1 && !files.front().contains(QLatin1Char('.')) &&
        !QFileInfo(files.front()).isDir())
        selectFile(files.front() + QStringLiteral(".mcf"));
    QFileDialog::accept();
}

} // namespace tarn
