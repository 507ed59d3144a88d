// tarn-render-manual IN.md OUT.pdf: the user manual from Markdown into a PDF on A4, at build time.
// OUT is replaced only by a complete document.
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QFont>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QUrl>

#include <cstdio>

namespace {

// Qt's own notes (a missing runtime folder) would clutter the build log.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(message));
}

// Tables with single thin rules and a shaded heading, code on a shaded band: Qt's Markdown
// import leaves both plain.
void Style(QTextDocument& document)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (QTextTable* table = qobject_cast<QTextTable*>(QTextCursor(block).currentTable())) {
            QTextTableFormat format = table->format();
            if (format.borderCollapse()) continue;  // styled already
            format.setBorderCollapse(true);
            format.setBorder(1);
            format.setBorderBrush(QColor(140, 140, 140));
            format.setCellSpacing(0);
            format.setCellPadding(3);
            format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
            table->setFormat(format);
            for (int row = 0; row < table->rows(); ++row) {
                for (int column = 0; column < table->columns(); ++column) {
                    QTextTableCell cell = table->cellAt(row, column);
                    QTextCharFormat cellFormat = cell.format();
                    cellFormat.setVerticalAlignment(QTextCharFormat::AlignTop);
                    if (row == 0) cellFormat.setBackground(QColor(230, 230, 230));
                    cell.setFormat(cellFormat);
                }
            }
            continue;
        }
        QTextBlockFormat format = block.blockFormat();
        if (format.hasProperty(QTextFormat::BlockCodeFence) || format.nonBreakableLines()) {
            format.setBackground(QColor(240, 240, 240));
            format.setLeftMargin(12);
            QTextCursor(block).setBlockFormat(format);
        }
    }
}

// The pictures the manual names, from files beside it, drawn at their own size; the path of the
// first that cannot be read, empty when all were found.
QString AddPictures(QTextDocument& document, const QDir& folder)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            const QTextCharFormat format = fragment.fragment().charFormat();
            if (!format.isImageFormat()) continue;
            const QString name = format.toImageFormat().name();
            const QImage picture(folder.filePath(name));
            if (picture.isNull()) return folder.filePath(name);
            document.addResource(QTextDocument::ImageResource, QUrl(name), picture);
        }
    }
    return {};
}

int Fail(const char* what, const QString& path, const QString& reason)
{
    std::fprintf(stderr, "tarn-render-manual: %s %s: %s\n", what, qPrintable(path), qPrintable(reason));
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: tarn-render-manual IN.md OUT.pdf\n");
        return 2;
    }
    // No window is shown: the manual is drawn offscreen, also where there is no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietQtMessages);
    QGuiApplication application(argc, argv);
    const QString inPath = QString::fromLocal8Bit(argv[1]);
    const QString outPath = QString::fromLocal8Bit(argv[2]);

    QFile in(inPath);
    if (!in.open(QIODevice::ReadOnly)) return Fail("cannot read", inPath, in.errorString());
    const QString markdown = QString::fromUtf8(in.readAll());

    QTextDocument document;
    QFont font;
    font.setStyleHint(QFont::SansSerif, QFont::PreferNoShaping);  // no ligatures: the text reads back as written
    font.setPointSize(10);
    document.setDefaultFont(font);
    // Pictures are named relative to the manual's folder, wherever the build runs.
    document.setMetaInformation(QTextDocument::DocumentUrl,
                                QUrl::fromLocalFile(QFileInfo(inPath).absoluteFilePath()).toString());
    document.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
    if (const QString missing = AddPictures(document, QFileInfo(inPath).dir()); !missing.isEmpty())
        return Fail("cannot read", missing, QStringLiteral("no such picture"));
    Style(document);
    document.setMetaInformation(QTextDocument::DocumentTitle, QStringLiteral("Tarn user manual QMN5521"));

    QSaveFile out(outPath);
    if (!out.open(QIODevice::WriteOnly)) return Fail("cannot write", outPath, out.errorString());
    QPdfWriter writer(&out);
    writer.setTitle(document.metaInformation(QTextDocument::DocumentTitle));
    writer.setCreator(QStringLiteral("Tarn"));
    // QTextDocument::print keeps 2 cm around the text itself, the page number in the bottom one.
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
    document.print(&writer);
    if (!out.commit()) return Fail("cannot write", outPath, out.errorString());
    return 0;
}
