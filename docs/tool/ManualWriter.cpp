#include "ManualWriter.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPageLayout>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextDocument>
#include <QUrl>

namespace {
// QTextDocument understands a small part of CSS; these rules stay inside it.
const char* kStyle = "body { font-family: 'Open Sans', 'Noto Sans CJK SC'; font-size: 10pt; color: #202020; }"
                     "h1 { font-size: 20pt; color: #c45000; margin-top: 18px; }"
                     "h2 { font-size: 13pt; color: #303030; margin-top: 14px; }"
                     "p, li { line-height: 130%; }"
                     "td, th { padding: 3px 6px; }"
                     "th { background-color: #eeeeee; }"
                     ".caption { color: #606060; font-size: 9pt; }"
                     "code, .key { font-family: 'DejaVu Sans Mono'; }";
} // namespace

ManualWriter::ManualWriter(const QString& docsDir)
    : m_docsDir(docsDir)
{ }

QString ManualWriter::html()
{
    QDir chapters(QDir(m_docsDir).filePath("manual"));
    const QStringList files = chapters.entryList({"*.html"}, QDir::Files, QDir::Name);
    QString body;
    for (const QString& name : files) {
        QFile f(chapters.filePath(name));
        if (!f.open(QIODevice::ReadOnly)) {
            m_error = QString("cannot read %1").arg(f.fileName());
            return QString();
        }
        body += QString::fromUtf8(f.readAll());
    }
    if (files.isEmpty()) {
        m_error = QString("no chapters in %1").arg(chapters.path());
        return QString();
    }
    return QString("<html><head><meta charset=\"utf-8\"><style>%1</style></head><body>%2</body></html>")
        .arg(kStyle, body);
}

bool ManualWriter::writePdf(const QString& path)
{
    const QString text = html();
    if (text.isEmpty())
        return false;

    QTextDocument doc;
    doc.setDefaultStyleSheet(kStyle);
    // Images are attached up front so a missing screenshot is an error, not a blank box.
    static const QRegularExpression imgSrc(R"re(<img[^>]*src="([^"]+)")re");
    auto it = imgSrc.globalMatch(text);
    while (it.hasNext()) {
        const QString src = it.next().captured(1);
        QImage image(QDir(m_docsDir).filePath(src));
        if (image.isNull()) {
            m_error = QString("cannot read image %1").arg(src);
            return false;
        }
        doc.addResource(QTextDocument::ImageResource, QUrl(src), image);
    }
    doc.setHtml(text);

    QFile::remove(path); // a stale manual must not pass for a new one
    QPdfWriter writer(path);
    writer.setTitle("servobench user manual");
    writer.setCreator("servobench");
    writer.setResolution(300);
    writer.setPageLayout(QPageLayout(
        QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(18, 16, 18, 16), QPageLayout::Millimeter));
    doc.print(&writer);
    if (!QFile::exists(path)) {
        m_error = QString("cannot write %1").arg(path);
        return false;
    }
    return true;
}
