// Single-line edits whose text goes into a configuration file (tags, document fields):
// the file keeps such a text between double quotes in Windows-1252 on one line, so the
// edit takes at most maxLength characters (a longer paste is cut) and drops every
// character the file cannot carry (the double quote, control characters, characters
// outside Windows-1252); nothing else of the input changes.
#pragma once

#include <QValidator>

#include <string>

class QLineEdit;

namespace tarn {

class FileTextValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

// Sets the length limit and the validator on edit.
void MakeFileTextEdit(QLineEdit* edit, int maxLength);

// The edit's text in Windows-1252 and back.
std::string EditText(const QLineEdit* edit);
void SetEditText(QLineEdit* edit, const std::string& cp1252);

} // namespace tarn
