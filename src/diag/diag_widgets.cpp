#include "diag/diag_widgets.h"

#include "text/cp1252.h"

#include <QComboBox>
#include <QFont>
#include <QPixmap>
#include <QSizePolicy>

// The images live in a static library: their registration must be referenced to be linked.
static void InitDiagImages() { Q_INIT_RESOURCE(diag_images); }

namespace tarn {

QString FromCp1252(const std::string& text) { return QString::fromStdString(Cp1252ToUtf8(text)); }

std::string ToCp1252(const QString& text) { return Utf8ToCp1252(text.toStdString()); }

void SetWindowCaption(QWidget* window, const std::string& text) { window->setWindowTitle(" " + FromCp1252(text)); }

void FillComboFromChoices(QComboBox* combo, ChoiceList list)
{
    for (int i = 0; const std::string* entry = ChoiceEntry(list, i); ++i) combo->addItem(FromCp1252(*entry));
}

void SelectComboItem(QComboBox* combo, int index)
{
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : 0);
}

SunkenField::SunkenField(Qt::Alignment alignment, QWidget* parent) : QLabel(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAlignment(alignment | Qt::AlignVCenter);
    setTextFormat(Qt::PlainText);
    setMargin(2);
}

void SunkenField::Show(const QString& value)
{
    if (text() != value) setText(value);
}

QFont ValueFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(18);
    font.setWeight(QFont::Bold);
    return font;
}

QLabel* MakeLamp(LampColour colour, QWidget* parent)
{
    InitDiagImages();
    auto* lamp = new QLabel(parent);
    lamp->setPixmap(QPixmap(colour == LampColour::Yellow ? QStringLiteral(":/diag/lamp_yellow.png")
                                                         : QStringLiteral(":/diag/lamp_red.png")));
    lamp->setFixedSize(32, 32);
    lamp->hide();
    KeepPlaceWhenHidden(lamp);
    return lamp;
}

void KeepPlaceWhenHidden(QWidget* widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

} // namespace tarn
