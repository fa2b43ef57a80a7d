#pragma once

#include <QByteArray>
#include <QImage>
#include <QWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>

#include <optional>

// What poppler's own readers (pdfinfo, pdftotext) find in a PDF: an independent reading of what
// Qt's writer wrote.
namespace veq::testing {

// The reader's standard output over `pdf`; nothing when it cannot run or fails.
inline std::optional<QString> popplerOutput(const QString& tool, QStringList arguments, const QByteArray& pdf) {
    QTemporaryFile file;
    if (!file.open() || file.write(pdf) != pdf.size() || !file.flush()) return std::nullopt;
    arguments.replace(arguments.indexOf(QStringLiteral("%file")), file.fileName());
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(20000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return std::nullopt;
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

enum class TextOrder {
    layout,    // laid out as printed, columns side by side
    drawOrder, // in the order the writer drew it: a table cell's lines follow each other
};

// The text of one page (from 1), or of every page when `page` is 0.
inline QString pdfText(const QByteArray& pdf, int page = 0, TextOrder order = TextOrder::layout) {
    QStringList arguments{order == TextOrder::layout ? QStringLiteral("-layout") : QStringLiteral("-raw")};
    if (page > 0) arguments << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l") << QString::number(page);
    arguments << QStringLiteral("%file") << QStringLiteral("-");
    return popplerOutput(QStringLiteral("pdftotext"), arguments, pdf).value_or(QString());
}

struct PDFInfo {
    int pages = 0;
    double width = 0; // points
    double height = 0;
};

inline std::optional<PDFInfo> pdfInfo(const QByteArray& pdf) {
    const auto out = popplerOutput(QStringLiteral("pdfinfo"), {QStringLiteral("%file")}, pdf);
    if (!out) return std::nullopt;
    const auto pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(*out);
    const auto size = QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+) pts")).match(*out);
    if (!pages.hasMatch() || !size.hasMatch()) return std::nullopt;
    return PDFInfo{pages.captured(1).toInt(), size.captured(1).toDouble(), size.captured(2).toDouble()};
}

// Whether a PDF view shows a page's ink: its pages are rendered on a thread of their own, so a
// page first shows blank. Looks for dark pixels over the middle of the view's top, where every
// first page carries the header and the title.
inline bool showsInk(QWidget& viewport) {
    const QImage image = viewport.grab().toImage();
    const QRect area(image.width() / 5, image.height() / 40, image.width() * 3 / 5, image.height() / 4);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (qGray(image.pixel(x, y)) < 110) return true;
        }
    }
    return false;
}

} // namespace veq::testing
