#include "print/pdf_document.h"

#include "print/document_pages.h"
#include "text/cp1252.h"
#include "text/texts.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace tarn {

namespace {

constexpr int TEXT_DOCUMENT_NAME = 410;

// A writer on device with the document's page and name; device need not be open yet.
void SetUpWriter(QPdfWriter& writer, const QPageLayout& layout, int resolution)
{
    writer.setResolution(resolution);
    writer.setPageLayout(layout);
    writer.setTitle(QString::fromStdString(Cp1252ToUtf8(GetText(TEXT_DOCUMENT_NAME))));
    writer.setCreator(QStringLiteral("Tarn " TARN_VERSION));
}

int Refusal(const QPdfWriter& writer) { return DocumentRefusal(PagedDeviceFacts(writer)); }

DocumentOutcome Draw(QPdfWriter& writer, const SystemConfiguration& image)
{
    QPainter painter;
    if (!painter.begin(&writer)) return {TEXT_DEVICE_NOT_SUITABLE, {}};
    const PageMapping mapping = ComputePageMapping(PagedDeviceFacts(writer));
    const bool drawn = DrawConfigurationDocument(painter, image, mapping, [&writer] { return writer.newPage(); });
    const bool ended = painter.end();
    if (!drawn || !ended) return {TEXT_DEVICE_NOT_SUITABLE, {}};
    return {};
}

DocumentOutcome Failed(const QIODevice& device) { return {TEXT_DEVICE_NOT_SUITABLE, device.errorString().toStdString()}; }

} // namespace

QPageLayout DefaultPdfPageLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10), QPageLayout::Point);
}

DocumentOutcome RenderConfigurationPdf(QByteArray& pdf, const SystemConfiguration& image, const QPageLayout& layout,
                                       int resolution)
{
    pdf.clear();
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    SetUpWriter(writer, layout, resolution);
    if (const int refusal = Refusal(writer)) return {refusal, {}};
    return Draw(writer, image);
}

DocumentOutcome SaveConfigurationPdf(const QString& path, const SystemConfiguration& image, const QPageLayout& layout,
                                     int resolution)
{
    QSaveFile file(path);
    QPdfWriter writer(&file);
    SetUpWriter(writer, layout, resolution);
    // Refused before the file is touched.
    if (const int refusal = Refusal(writer)) return {refusal, {}};
    if (!file.open(QIODevice::WriteOnly)) return Failed(file);
    DocumentOutcome outcome = Draw(writer, image);
    if (!outcome.ok()) {
        file.cancelWriting();
        return outcome;
    }
    if (!file.commit()) return Failed(file);
    return {};
}

} // namespace tarn
