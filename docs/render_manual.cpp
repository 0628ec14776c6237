// Renders the user manual (Markdown) into the two documentation files the program opens from its
// Help menu: a PDF and an HTML document with the ".doc" name that word processors open.
//
//   zenpatch-render-manual MANUAL.md OUT.pdf OUT.doc [PREVIEW_DIR]
//
// Images are resolved relative to the manual. PREVIEW_DIR, when given, receives every PDF page as
// a PNG image, to look at the layout without a PDF viewer.

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextImageFormat>
#include <QTextTable>
#include <cstdio>

namespace {

constexpr int PdfResolution = 300;
constexpr double PageMarginMm = 18;

QString ReadText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Scales every image down to the text width (keeping its proportions) and centres it.
void FitImages(QTextDocument& document, const QDir& base, double textWidth)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            QTextImageFormat format = fragment.charFormat().toImageFormat();
            const QImage image(base.filePath(format.name()));
            if (image.isNull())
                continue;
            const double width = qMin(textWidth, image.width() * 0.75);
            format.setWidth(width);
            format.setHeight(width * image.height() / image.width());
            QTextCursor cursor(&document);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(format);
            QTextBlockFormat centred = block.blockFormat();
            centred.setAlignment(Qt::AlignHCenter);
            cursor.setBlockFormat(centred);
        }
    }
}

// Gives every table thin borders, padding and the full text width.
void StyleTables(QTextDocument& document)
{
    QList<QTextTable*> tables;
    for (QTextFrame* frame : document.rootFrame()->childFrames())
        if (auto* table = qobject_cast<QTextTable*>(frame))
            tables << table;
    for (QTextTable* table : tables) {
        QTextTableFormat format = table->format();
        format.setBorder(1);
        format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        format.setBorderBrush(QColor("#9aa5b1"));
        format.setBorderCollapse(true);
        format.setCellPadding(4);
        format.setCellSpacing(0);
        format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        table->setFormat(format);
    }
}

// The HTML of the document with every image embedded as a data URL, so the file stands alone.
QByteArray SelfContainedHtml(const QTextDocument& document, const QDir& base)
{
    QString html = document.toHtml();
    static const QRegularExpression image("src=\"([^\"]+\\.png)\"");
    QString result;
    qsizetype last = 0;
    for (auto it = image.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        QFile file(base.filePath(match.captured(1)));
        result += html.mid(last, match.capturedStart() - last);
        if (file.open(QIODevice::ReadOnly))
            result += "src=\"data:image/png;base64," + QString::fromLatin1(file.readAll().toBase64()) + "\"";
        else
            result += match.captured(0);
        last = match.capturedEnd();
    }
    result += html.mid(last);
    return result.toUtf8();
}

void WritePreview(QTextDocument& document, const QSizeF& page, const QString& folder)
{
    QDir().mkpath(folder);
    const int pages = document.pageCount();
    for (int i = 0; i < pages; ++i) {
        QImage image(page.toSize(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.translate(0, -i * page.height());
        document.drawContents(&painter, QRectF(0, i * page.height(), page.width(), page.height()));
        painter.end();
        image.save(QString("%1/page-%2.png").arg(folder).arg(i + 1, 2, 10, QChar('0')));
    }
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: zenpatch-render-manual MANUAL.md OUT.pdf OUT.doc [PREVIEW_DIR]\n");
        return 2;
    }
    const QString markdown = ReadText(args[1]);
    if (markdown.isEmpty()) {
        std::fprintf(stderr, "zenpatch-render-manual: cannot read %s\n", qPrintable(args[1]));
        return 1;
    }
    const QDir base = QFileInfo(args[1]).absoluteDir();

    QPdfWriter pdf(args[2]);
    pdf.setResolution(PdfResolution);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(PageMarginMm, PageMarginMm, PageMarginMm, PageMarginMm), QPageLayout::Millimeter);
    pdf.setTitle("Zenpatch User Manual");
    pdf.setCreator("Zenpatch");

    QTextDocument document;
    document.setBaseUrl(QUrl::fromLocalFile(base.absolutePath() + "/"));
    QFont font("DejaVu Sans");
    font.setPointSizeF(10);
    document.setDefaultFont(font);
    document.setMarkdown(markdown);
    StyleTables(document);

    // Lay the text out in points on the printable area of an A4 page.
    const QSizeF page = pdf.pageLayout().paintRect(QPageLayout::Point).size();
    document.setPageSize(page);
    FitImages(document, base, page.width() - 2 * document.documentMargin());

    document.print(&pdf);
    if (!WriteBytes(args[3], SelfContainedHtml(document, base))) {
        std::fprintf(stderr, "zenpatch-render-manual: cannot write %s\n", qPrintable(args[3]));
        return 1;
    }
    if (args.size() > 4)
        WritePreview(document, page, args[4]);
    return 0;
}
