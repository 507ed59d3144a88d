#include "dialogs/file_text_edit.h"

#include "text/cp1252.h"

#include <QLineEdit>

namespace tarn {

QValidator::State FileTextValidator::validate(QString& input, int& pos) const
{
    QString kept;
    kept.reserve(input.size());
    int keptBeforePos = 0;
    int index = 0;
    for (const char32_t cp : input.toUcs4()) {
        const int width = QChar::requiresSurrogates(cp) ? 2 : 1;
        if (FitsConfigurationText(cp)) {
            kept += QString::fromUcs4(&cp, 1);
            if (index < pos) keptBeforePos += width;
        }
        index += width;
    }
    if (kept.size() != input.size()) {
        input = kept;
        pos = keptBeforePos;
    }
    return Acceptable;
}

void MakeFileTextEdit(QLineEdit* edit, int maxLength)
{
    edit->setMaxLength(maxLength);
    edit->setValidator(new FileTextValidator(edit));
}

std::string EditText(const QLineEdit* edit)
{
    return Utf8ToCp1252(edit->text().toStdString());
}

void SetEditText(QLineEdit* edit, const std::string& cp1252)
{
    edit->setText(QString::fromStdString(Cp1252ToUtf8(cp1252)));
}

} // namespace tarn
