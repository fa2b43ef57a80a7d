#include "VEQUI/Views/Diagnostics/TerminalConsole.hpp"

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Diagnostics/TerminalCommands.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QPropertyAnimation>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace veq {

namespace {

// The prefix column, then the gap before the text; wrapped lines align with the text.
constexpr double prefixWidth = 14;
constexpr double prefixGap = 8;
constexpr double lineSpacing = 2;

QTextBlockFormat lineFormat() {
    QTextBlockFormat format;
    format.setLeftMargin(prefixWidth + prefixGap);
    format.setTextIndent(-(prefixWidth + prefixGap));
    format.setTabPositions({QTextOption::Tab(prefixWidth + prefixGap, QTextOption::LeftTab)});
    format.setBottomMargin(lineSpacing);
    return format;
}

} // namespace

TerminalConsole::TerminalConsole(AppModel& model, QWidget* parent)
    : QTextEdit(parent), model_(model), scroll_(new QPropertyAnimation(verticalScrollBar(), "value", this)) {
    setObjectName(QStringLiteral("console"));
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setFont(VEQ::numeric(12, QFont::DemiBold));
    document()->setDocumentMargin(16);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    setPalette(palette);
    viewport()->setAutoFillBackground(false);
    scroll_->setDuration(350);
    scroll_->setEasingCurve(QEasingCurve::InOutQuad);
    connect(&model_, &AppModel::terminalLogChanged, this, [this] { follow(); });
    connect(&model_, &AppModel::nightModeChanged, this, [this] { rebuild(); });
    rebuild();
}

void TerminalConsole::rebuild() {
    clear();
    shown_.clear();
    append(0);
}

void TerminalConsole::follow() {
    const auto& log = model_.terminalLog();
    const std::size_t before = shown_.size();
    // The oldest entries the model cut off.
    std::size_t cut = 0;
    while (cut < shown_.size() && (log.empty() || shown_[cut] != log.front().id)) ++cut;
    bool prefix = shown_.size() - cut <= log.size();
    for (std::size_t i = cut; prefix && i < shown_.size(); ++i) prefix = shown_[i] == log[i - cut].id;
    if (!prefix) {
        rebuild();
    } else {
        if (cut > 0) {
            QTextCursor cursor(document());
            if (cut >= shown_.size()) {
                clear();
            } else {
                cursor.setPosition(document()->findBlockByNumber(static_cast<int>(cut)).position(),
                                   QTextCursor::KeepAnchor);
                cursor.removeSelectedText();
            }
            shown_.erase(shown_.begin(), shown_.begin() + static_cast<std::ptrdiff_t>(cut));
        }
        append(shown_.size());
    }
    if (shown_.size() != before) scrollToEnd();
}

void TerminalConsole::append(std::size_t from) {
    const auto& log = model_.terminalLog();
    const QColor accent = model_.accent();
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    for (std::size_t i = from; i < log.size(); ++i) {
        const AppModel::TerminalEntry& entry = log[i];
        if (!shown_.empty()) cursor.insertBlock();
        cursor.setBlockFormat(lineFormat());
        const TerminalCommands::LineStyle style = TerminalCommands::lineStyle(entry.kind, accent);
        QTextCharFormat format;
        format.setForeground(style.colour);
        // One entry stays one line of the transcript, whatever breaks its text holds.
        QString text = QString::fromStdString(entry.text);
        text.replace(QLatin1Char('\r'), QChar::LineSeparator).replace(QLatin1Char('\n'), QChar::LineSeparator);
        cursor.insertText(style.prefix + QLatin1Char('\t') + text, format);
        shown_.push_back(entry.id);
    }
}

void TerminalConsole::scrollToEnd() {
    QScrollBar* bar = verticalScrollBar();
    scroll_->stop();
    scroll_->setStartValue(bar->value());
    scroll_->setEndValue(bar->maximum());
    // The range may still grow while the new lines are laid out: end exactly at the bottom.
    connect(scroll_, &QPropertyAnimation::finished, this, [bar] { bar->setValue(bar->maximum()); },
            Qt::SingleShotConnection);
    scroll_->start();
}

std::vector<TerminalConsole::Line> TerminalConsole::lines() const {
    std::vector<Line> out;
    if (shown_.empty()) return out;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        const QString all = block.text();
        const qsizetype tab = all.indexOf(QLatin1Char('\t'));
        const QColor colour = block.begin().atEnd() ? QColor() : block.begin().fragment().charFormat().foreground().color();
        out.push_back({all.left(tab), all.mid(tab + 1), colour});
    }
    return out;
}

} // namespace veq
