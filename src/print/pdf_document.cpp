#include "print/pdf_document.h"

#include "config/safe_file.h"
#include "print/document_pages.h"
#include "text/cp1252.h"
#include "text/text_ids.h"
#include "text/texts.h"

#include <QBuffer>
#include <QFile>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

#include <cstring>
#include <string_view>

namespace tarn {

namespace {

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

} // namespace

void SetUpPdfWriter(QPdfWriter& writer, const QPageLayout& layout, int resolution, int titleText)
{
    writer.setResolution(resolution);
    writer.setPageLayout(layout);
    writer.setTitle(QString::fromStdString(Cp1252ToUtf8(GetText(titleText))));
    writer.setCreator(QStringLiteral("Tarn " TARN_VERSION));
}

DocumentOutcome SavePdf(const QString& path, const QByteArray& pdf)
{
    int error = 0;
    const std::string_view bytes(pdf.constData(), static_cast<std::size_t>(pdf.size()));
    if (SaveFileSafely(QFile::encodeName(path).toStdString(), bytes, &error) == SaveResult::Saved) return {};
    return {TEXT_DEVICE_NOT_SUITABLE, std::strerror(error)};
}

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
    SetUpPdfWriter(writer, layout, resolution, TEXT_DOCUMENT_NAME);
    if (const int refusal = Refusal(writer)) return {refusal, {}};
    return Draw(writer, image);
}

DocumentOutcome SaveConfigurationPdf(const QString& path, const SystemConfiguration& image, const QPageLayout& layout,
                                     int resolution)
{
    // Made whole in memory first: the file is only touched by a complete document, and it is
    // written by the same save as every other file (a FIFO or a device is written in place, a
    // file keeps its mode and owner).
    QByteArray pdf;
    if (DocumentOutcome outcome = RenderConfigurationPdf(pdf, image, layout, resolution); !outcome.ok()) return outcome;
    return SavePdf(path, pdf);
}

} // namespace tarn
