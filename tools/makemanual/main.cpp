// Turns the manual's HTML source into the PDF the application shows in its help window.
//   lq-makemanual OUTPUT.pdf MANUAL.html [PART.html ...]
// Each further part is inserted where the manual's body ends. Run it with QT_QPA_PLATFORM=offscreen
// where there is no display.
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>
#include <QUrl>

#include <cstdio>

namespace {

// Qt's rich text knows only a part of CSS; this is the part the manual uses.
const char* const kStyleSheet = R"(
h1 { font-size: 22pt; font-weight: 600; margin-bottom: 6px; }
h2 { font-size: 15pt; font-weight: 600; margin-top: 20px; margin-bottom: 6px; }
h3 { font-size: 12pt; font-weight: 600; margin-top: 12px; margin-bottom: 4px; }
p, li { margin-top: 3px; margin-bottom: 3px; }
p.lead { font-size: 12pt; }
th { background-color: #e8e8ec; }
table { border-color: #b8b8c0; margin-top: 4px; margin-bottom: 8px; }
code { font-family: monospace; }
)";

// The marks the manual explains. PDF output cannot carry colour emoji glyphs, so each is drawn once from
// the colour emoji font into a picture and the text refers to the picture instead. Longer sequences
// come first, so that a mark with its variation selector is replaced whole.
const char* const kMarks[] = {"⚠️", "⛔️", "⚠", "⛔", "✅", "❌", "🍏", "👉", "👈", "❓"};
const char* const kEmojiFamily = "Noto Color Emoji";
constexpr int kMarkPixels = 128;

// The mark as a picture, or a null image when no font here has it in colour.
QImage drawMark(const QString& mark) {
    QFont font(QString::fromUtf8(kEmojiFamily));
    font.setPixelSize(kMarkPixels * 3 / 4);
    if (QFontInfo(font).family() != QString::fromUtf8(kEmojiFamily) ||
        !QFontMetrics(font).inFontUcs4(mark.toUcs4().value(0)))
        return {};
    QImage image(kMarkPixels, kMarkPixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setFont(font);
    painter.drawText(image.rect(), Qt::AlignCenter, mark);
    return image;
}

// Puts a picture in place of every mark in `html`; a mark without a picture stays text.
QString replaceMarks(QString html, QTextDocument& document, int lineHeight) {
    int next = 0;
    for (const char* const text : kMarks) {
        const QString mark = QString::fromUtf8(text);
        if (!html.contains(mark))
            continue;
        const QImage image = drawMark(mark);
        if (image.isNull()) {
            std::fprintf(stderr, "lq-makemanual: no colour glyph for %s; it stays text\n", text);
            continue;
        }
        const QUrl name(QStringLiteral("mark:%1").arg(next++));
        document.addResource(QTextDocument::ImageResource, name, image);
        html.replace(mark, QStringLiteral("<img src=\"%1\" width=\"%2\" height=\"%2\" "
                                          "style=\"vertical-align: middle\">")
                               .arg(name.toString())
                               .arg(lineHeight));
    }
    return html;
}

int fail(const QString& message) {
    std::fprintf(stderr, "lq-makemanual: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() < 3)
        return fail(QStringLiteral("usage: lq-makemanual OUTPUT.pdf MANUAL.html [PART.html ...]"));

    QStringList sources;
    for (qsizetype i = 2; i < args.size(); ++i) {
        QFile file(args[i]);
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1: %2").arg(args[i], file.errorString()));
        sources.append(QString::fromUtf8(file.readAll()));
    }
    QString html = sources.takeFirst();
    const QString parts = sources.join(QLatin1Char('\n'));
    const qsizetype bodyEnd = html.lastIndexOf(QStringLiteral("</body>"), -1, Qt::CaseInsensitive);
    if (bodyEnd < 0)
        html += parts;
    else
        html.insert(bodyEnd, parts);

    QTextDocument document;
    document.setDefaultStyleSheet(QString::fromUtf8(kStyleSheet));
    QFont font = document.defaultFont();
    font.setPointSizeF(10.5);
    document.setDefaultFont(font);
    document.setHtml(replaceMarks(html, document, QFontMetrics(font).height()));

    const QString output = args[1];
    {
        QPdfWriter writer(output);
        writer.setTitle(document.metaInformation(QTextDocument::DocumentTitle));
        writer.setCreator(QStringLiteral("Lanternquill"));
        writer.setResolution(300);
        // Printing a document adds margins of 2 cm and page numbers of its own; the page itself has none.
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
        document.print(&writer);
    }
    if (QFileInfo(output).size() <= 0)
        return fail(QStringLiteral("nothing was written to %1").arg(output));
    return 0;
}
