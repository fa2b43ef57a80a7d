#include "VEQUI/Views/Report/ReportDocument.hpp"

#include "VEQSupport/Error.hpp"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

#include <fmt/format.h>

#include <cmath>
#include <vector>

namespace veq::ReportDocument {

namespace {

// Dots per inch of the page's coordinates: fine enough that the tables' rules and paddings land
// where they are asked.
constexpr int resolution = 300;
const QMarginsF pageMargins{16, 14, 16, 14}; // millimetres: inside any printer's reach
constexpr double headerPoints = 34;
constexpr double footerPoints = 22;
const QString fontFamily = QStringLiteral("DejaVu Sans");
const QString documentTitle = QStringLiteral("Rapport de diagnostic");

const QColor ink{0x1d, 0x1d, 0x1f};
const QColor faint{0x6e, 0x6e, 0x73};
const QColor caution{0xb2, 0x5f, 0x00}; // the warning colour, dark enough to read on paper
const QColor rule{0xc7, 0xc7, 0xcc};
const QColor headerFill{0xee, 0xee, 0xf0};

// Lengths on the page, in the page's pixels, for the painter.
double px(double points) { return points * resolution / 72.0; }
// Lengths in the document's formats (margins, paddings, borders): its layout takes them as pixels
// of a 96 dpi screen and scales them to the page.
double pt(double points) { return points * 96.0 / 72.0; }

QFont font(double points, QFont::Weight weight = QFont::Normal) {
    QFont f(fontFamily);
    f.setPointSizeF(points);
    f.setWeight(weight);
    // A spacing too small to see turns the ligatures off: "fi" stays two letters a reader can search.
    f.setLetterSpacing(QFont::AbsoluteSpacing, 0.05);
    return f;
}

QTextCharFormat textFormat(double points, const QColor& colour, QFont::Weight weight = QFont::Normal) {
    QTextCharFormat format;
    format.setFont(font(points, weight));
    format.setForeground(colour);
    return format;
}

// One cell of a printed table: its lines, and a coloured mark before the first when given.
struct Cell {
    QStringList lines;
    QColor mark;

    Cell(QString text) : lines{std::move(text)} {} // NOLINT: a text is a cell
    Cell(QStringList lines, QColor mark = {}) : lines(std::move(lines)), mark(mark) {}
};

struct Column {
    const char* title;
    double percent;
    Qt::Alignment alignment = Qt::AlignLeft;
};

// A table across the page whose first row, the column titles, is repeated atop every page it reaches.
void addTable(QTextCursor& cursor, const std::vector<Column>& columns, const std::vector<std::vector<Cell>>& rows) {
    QTextTableFormat format;
    format.setHeaderRowCount(1);
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    QList<QTextLength> widths;
    for (const Column& column : columns) widths << QTextLength(QTextLength::PercentageLength, column.percent);
    format.setColumnWidthConstraints(widths);
    format.setBorder(pt(0.75));
    format.setBorderBrush(rule);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    format.setBorderCollapse(true);
    format.setCellSpacing(0);
    format.setCellPadding(pt(3));
    format.setTopMargin(pt(4));
    format.setBottomMargin(pt(10));

    QTextTable* table = cursor.insertTable(static_cast<int>(rows.size()) + 1, static_cast<int>(columns.size()), format);
    const QTextCharFormat titleFormat = textFormat(7.5, ink, QFont::Bold);
    const QTextCharFormat cellFormat = textFormat(8, ink);
    const auto place = [&](int row, int column, Qt::Alignment alignment) {
        QTextCursor at = table->cellAt(row, column).firstCursorPosition();
        QTextBlockFormat block;
        block.setAlignment(alignment);
        at.setBlockFormat(block);
        return at;
    };
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
        QTextTableCell cell = table->cellAt(0, c);
        QTextTableCellFormat fill = cell.format().toTableCellFormat();
        fill.setBackground(headerFill);
        cell.setFormat(fill);
        place(0, c, columns[static_cast<std::size_t>(c)].alignment).insertText(QString::fromUtf8(columns[static_cast<std::size_t>(c)].title), titleFormat);
    }
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size() && c < columns.size(); ++c) {
            const Cell& cell = rows[r][c];
            QTextCursor at = place(static_cast<int>(r) + 1, static_cast<int>(c), columns[c].alignment);
            if (cell.mark.isValid()) at.insertText(QStringLiteral("\u25CF "), textFormat(8, cell.mark));
            for (qsizetype l = 0; l < cell.lines.size(); ++l) {
                if (l > 0) at.insertBlock();
                at.insertText(cell.lines[l], cellFormat);
            }
        }
    }
    cursor.movePosition(QTextCursor::End);
}

void addHeading(QTextCursor& cursor, const QString& title) {
    QTextBlockFormat block;
    block.setTopMargin(pt(8));
    block.setBottomMargin(pt(3));
    block.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
    cursor.insertBlock(block, textFormat(11, ink, QFont::Bold));
    cursor.insertText(title);
}

void addNote(QTextCursor& cursor, const QString& text, const QColor& colour = faint) {
    QTextBlockFormat block;
    block.setBottomMargin(pt(6));
    cursor.insertBlock(block, textFormat(9, colour));
    cursor.insertText(text);
}

// Label and value pairs, two to a row.
void addFacts(QTextCursor& cursor, const std::vector<std::pair<QString, QString>>& facts) {
    QTextTableFormat format;
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    format.setColumnWidthConstraints({QTextLength(QTextLength::PercentageLength, 20),
                                      QTextLength(QTextLength::PercentageLength, 30),
                                      QTextLength(QTextLength::PercentageLength, 20),
                                      QTextLength(QTextLength::PercentageLength, 30)});
    format.setBorder(0);
    format.setCellSpacing(0);
    format.setCellPadding(pt(2));
    format.setBottomMargin(pt(6));
    const int rows = static_cast<int>((facts.size() + 1) / 2);
    QTextTable* table = cursor.insertTable(std::max(rows, 1), 4, format);
    for (std::size_t i = 0; i < facts.size(); ++i) {
        const int row = static_cast<int>(i / 2);
        const int column = static_cast<int>(i % 2) * 2;
        table->cellAt(row, column).firstCursorPosition().insertText(facts[i].first, textFormat(8, faint));
        table->cellAt(row, column + 1).firstCursorPosition().insertText(facts[i].second, textFormat(9, ink, QFont::DemiBold));
    }
    cursor.movePosition(QTextCursor::End);
}

void addVehicle(QTextCursor& cursor, const ReportContent& content) {
    addHeading(cursor, QStringLiteral("Véhicule"));
    std::vector<std::pair<QString, QString>> facts{{QStringLiteral("Profil"), content.profile},
                                                   {QStringLiteral("VIN"), content.vin}};
    for (std::size_t i = 0; i < content.vinSections.size(); ++i) {
        facts.emplace_back(QString::fromUtf8(Report::vinSectionTitles[i]), content.vinSections[i]);
    }
    addFacts(cursor, facts);
}

void addConnection(QTextCursor& cursor, const ReportContent& content) {
    addHeading(cursor, QStringLiteral("Connexion"));
    std::vector<std::pair<QString, QString>> facts{{QStringLiteral("Début"), content.start}};
    for (const TripFigures::Figure& figure : content.trip) {
        facts.emplace_back(figure.title, figure.unit.isEmpty() ? figure.value : figure.value + QLatin1Char(' ') + figure.unit);
    }
    addFacts(cursor, facts);
}

void addCodes(QTextCursor& cursor, const ReportContent& content) {
    addHeading(cursor, QStringLiteral("Codes défaut"));
    if (content.codesUnread) return addNote(cursor, QString::fromUtf8(Report::codesUnreadNote), caution);
    if (content.codes.empty()) return addNote(cursor, QString::fromUtf8(Report::noCodesNote));
    std::vector<std::vector<Cell>> rows;
    for (const ReportCode& code : content.codes) {
        rows.push_back({code.code, code.title, code.system, code.subsystem,
                        Cell({code.severity}, code.severityColor), Cell(Report::causeLines(code.causes))});
    }
    addTable(cursor,
             {{"Code", 8}, {"Titre", 23}, {"Système", 16}, {"Sous-système", 16}, {"Gravité", 12},
              {"Causes probables", 25}},
             rows);
}

void addECUs(QTextCursor& cursor, const ReportContent& content) {
    addHeading(cursor, QStringLiteral("Calculateurs"));
    if (content.ecus.empty()) return addNote(cursor, QString::fromUtf8(Report::noECUsNote(content.ecusScanned)));
    std::vector<std::vector<Cell>> rows;
    for (const ReportECU& ecu : content.ecus) {
        rows.push_back({ecu.address, ecu.name, ecu.partNumber, ecu.softwareVersion, Report::codeCountText(ecu)});
    }
    addTable(cursor,
             {{"Adresse", 11}, {"Calculateur", 33}, {"Référence", 22}, {"Logiciel", 20},
              {"Défauts", 14, Qt::AlignRight}},
             rows);
}

void addParameters(QTextCursor& cursor, const ReportContent& content) {
    addHeading(cursor, QStringLiteral("Paramètres"));
    if (content.parameters.empty()) return addNote(cursor, QString::fromUtf8(Report::noParametersNote));
    std::vector<std::vector<Cell>> rows;
    for (const ParameterRow& row : content.parameters) {
        rows.push_back({row.name, row.unit, row.values[0], row.values[1], row.values[2], row.values[3], row.samples});
    }
    const Qt::Alignment right = Qt::AlignRight;
    const auto& titles = Report::parameterColumnTitles;
    addTable(cursor,
             {{titles[0], 34}, {titles[1], 10}, {titles[2], 11, right}, {titles[3], 10, right}, {titles[4], 11, right},
              {titles[5], 10, right}, {titles[6], 14, right}},
             rows);
}

void build(QTextDocument& document, const ReportContent& content) {
    QTextCursor cursor(&document);
    // One edit: a paged document is laid out again after every change otherwise.
    cursor.beginEditBlock();
    cursor.setCharFormat(textFormat(16, ink, QFont::Bold));
    cursor.insertText(documentTitle);
    addVehicle(cursor, content);
    addConnection(cursor, content);
    addCodes(cursor, content);
    addECUs(cursor, content);
    addParameters(cursor, content);
    // The block that follows the last table holds nothing: it must not open a page of its own.
    QTextBlockFormat last;
    last.setLineHeight(0, QTextBlockFormat::FixedHeight);
    cursor.setBlockFormat(last);
    cursor.endEditBlock();
}

void drawHeader(QPainter& painter, const ReportContent& content, double width) {
    painter.setPen(faint);
    painter.setFont(font(8, QFont::DemiBold));
    const QRectF line(0, 0, width, px(12));
    painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, content.application);
    painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("VIN ") + content.vin);
    painter.setFont(font(8));
    painter.drawText(line, Qt::AlignHCenter | Qt::AlignVCenter, documentTitle);
    painter.fillRect(QRectF(0, px(16), width, px(0.6)), rule);
}

void drawFooter(QPainter& painter, double width, double top, int page, int pages) {
    painter.fillRect(QRectF(0, top + px(6), width, px(0.6)), rule);
    painter.setPen(faint);
    painter.setFont(font(8));
    painter.drawText(QRectF(0, top + px(9), width, px(12)), Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("page %1 / %2").arg(page).arg(pages));
}

} // namespace

QByteArray pdf(const ReportContent& content) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly)) throw Error("la mémoire tampon du document ne s'ouvre pas");
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(resolution);
        writer.setTitle(documentTitle);
        writer.setCreator(content.application);
        if (!writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, pageMargins,
                                              QPageLayout::Millimeter))) {
            throw Error("la page A4 n'est pas acceptée par le rédacteur PDF");
        }
        const QRectF page = writer.pageLayout().paintRectPixels(resolution);
        const double width = page.width();
        const double bodyHeight = page.height() - px(headerPoints) - px(footerPoints);
        if (bodyHeight <= 0) throw Error("les marges ne laissent aucune place au texte");

        QTextDocument document;
        document.documentLayout()->setPaintDevice(&writer);
        document.setDefaultFont(font(9));
        document.setDocumentMargin(0);
        document.setPageSize(QSizeF(width, bodyHeight));
        build(document, content);
        const int pages = document.pageCount();

        QPainter painter;
        if (!painter.begin(&writer)) throw Error("le rédacteur PDF refuse de dessiner");
        painter.setRenderHint(QPainter::Antialiasing);
        for (int p = 0; p < pages; ++p) {
            if (p > 0 && !writer.newPage()) throw Error("une nouvelle page ne peut pas être ajoutée");
            drawHeader(painter, content, width);
            drawFooter(painter, width, px(headerPoints) + bodyHeight, p + 1, pages);
            painter.save();
            const QRectF clip(0, p * bodyHeight, width, bodyHeight);
            painter.translate(0, px(headerPoints) - clip.top());
            painter.setClipRect(clip);
            QAbstractTextDocumentLayout::PaintContext context;
            context.clip = clip;
            context.palette.setColor(QPalette::Text, ink);
            document.documentLayout()->draw(&painter, context);
            painter.restore();
        }
        if (!painter.end()) throw Error("le document PDF n'a pas pu être terminé");
    }
    if (bytes.isEmpty()) throw Error("le rédacteur PDF n'a rien écrit");
    return bytes;
}

std::string fileName(std::optional<std::chrono::system_clock::time_point> start, const TimeZone& timeZone) {
    const LocalDateTime local = timeZone.localDateTime(start.value_or(std::chrono::system_clock::now()));
    return fmt::format("Rapport_{:04d}{:02d}{:02d}-{:02d}{:02d}{:02d}.pdf", local.year, local.month, local.day,
                       local.hour, local.minute, local.second);
}

} // namespace veq::ReportDocument
