#include "VEQUI/Views/Diagnostics/TerminalView.hpp"

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Divider.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/PaintText.hpp"
#include "VEQUI/Views/Kit/RoundedPanel.hpp"
#include "VEQUI/Views/Kit/SegmentedPicker.hpp"
#include "VEQUI/Views/Kit/SidebarButtonInset.hpp"
#include "VEQUI/Views/Diagnostics/SnifferView.hpp"
#include "VEQUI/Views/Diagnostics/TerminalConsole.hpp"
#include "VEQUI/Views/Diagnostics/ToolSymbols.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <cmath>

namespace veq {

namespace {

QString qs(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QColor withAlpha(QColor colour, double alpha) {
    colour.setAlphaF(static_cast<float>(alpha));
    return colour;
}

// A ready-made command: the command over what it is for, on a rounded tile.
class PaletteButton : public QAbstractButton {
public:
    PaletteButton(const TerminalCommands::PaletteEntry& entry, QColor accent) : accent_(accent) {
        setObjectName(QStringLiteral("paletteButton"));
        setText(qs(entry.command));
        label_ = qs(entry.label);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }
    const QString& label() const { return label_; }
    const QColor& accent() const { return accent_; }
    void setAccent(const QColor& accent) {
        accent_ = accent;
        update();
    }
    QSize sizeHint() const override {
        const auto width = static_cast<int>(
            std::ceil(std::max(PaintText::width(commandFont(), text()), PaintText::width(labelFont(), label_))));
        return {width + 2 * horizontalPadding, lineBox(commandFont()) + 1 + lineBox(labelFont()) + 2 * verticalPadding};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath tile;
        tile.addRoundedRect(QRectF(rect()), 8, 8);
        painter.fillPath(tile, VEQ::surface2());
        const int command = lineBox(commandFont());
        const QRect inner = rect().adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding);
        painter.setFont(commandFont());
        painter.setPen(accent_);
        painter.drawText(QRect(inner.left(), inner.top(), inner.width(), command), Qt::AlignCenter, text());
        painter.setFont(labelFont());
        painter.setPen(VEQ::textSecondary());
        painter.drawText(QRect(inner.left(), inner.top() + command + 1, inner.width(), inner.height() - command - 1),
                         Qt::AlignCenter, label_);
    }

private:
    static constexpr int horizontalPadding = 10;
    static constexpr int verticalPadding = 6;
    static QFont commandFont() { return VEQ::numeric(11, QFont::DemiBold); }
    static QFont labelFont() { return VEQ::label(8, QFont::Medium); }
    // A line's whole height, as the face's widths are whole advances: QFontMetrics rounds them
    // and can fall short, and a text drawn in a box smaller than its line is cut (the label's
    // accents were).
    static int lineBox(const QFont& font) { return static_cast<int>(std::ceil(PaintText::lineHeight(font))); }

    QString label_;
    QColor accent_;
};

} // namespace

TerminalView::TerminalView(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), column_(new QVBoxLayout(this)) {
    setObjectName(QStringLiteral("TerminalView"));
    column_->setContentsMargins(0, 0, 0, 0);
    column_->setSpacing(0);
    column_->addWidget(makeHeader());
    column_->addWidget(new Divider(Qt::Horizontal));
    body_ = makeConsolePane();
    column_->addWidget(body_, 1);
    connect(&model_, &AppModel::nightModeChanged, this, [this] { refreshAccent(); });
}

QWidget* TerminalView::makeHeader() {
    auto* header = new RoundedPanel(0, VEQ::surface1());
    header->setObjectName(QStringLiteral("header"));
    SidebarButtonInset::follow(model_, *header);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(20, 12, 20, 12);
    row->setSpacing(8);
    row->addWidget(makeLabel(QStringLiteral("Terminal"), VEQ::label(18, QFont::Bold), VEQ::textPrimary(),
                             QStringLiteral("headerTitle")));

    QStringList titles;
    for (const Mode mode : TerminalCommands::allModes) titles << qs(TerminalCommands::rawValue(mode));
    // A segment's index is its mode's value: allModes lists them in order.
    modes_ = new SegmentedPicker(titles, 220,
                                 {.name = QStringLiteral("modePicker"), .segmentName = QStringLiteral("modeSegment"),
                                  .font = VEQ::label(12, QFont::Medium), .horizontalPadding = 8, .cornerRadius = 6});
    modes_->segment(static_cast<int>(mode_))->setChecked(true);
    modes_->onChange = [this](int index) { setMode(static_cast<Mode>(index)); };
    row->addWidget(modes_);
    row->addStretch(1);

    clearButton_ = new ToolButton(QStringLiteral("Effacer"), ToolSymbol::trash, VEQ::label(11, QFont::Medium),
                                  VEQ::textSecondary(), 13);
    clearButton_->setObjectName(QStringLiteral("clearButton"));
    connect(clearButton_, &QAbstractButton::clicked, this, [this] { model_.clearTerminal(); });
    row->addWidget(clearButton_);
    return header;
}

QWidget* TerminalView::makeConsolePane() {
    auto* pane = new QWidget;
    pane->setObjectName(QStringLiteral("consolePane"));
    auto* column = new QVBoxLayout(pane);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* bar = new QScrollArea;
    bar->setObjectName(QStringLiteral("paletteBar"));
    bar->setFrameShape(QFrame::NoFrame);
    bar->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    bar->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    bar->setWidgetResizable(true);
    auto* tiles = new RoundedPanel(0, withAlpha(VEQ::surface1(), 0.5));
    auto* tileRow = new QHBoxLayout(tiles);
    tileRow->setContentsMargins(16, 8, 16, 8);
    tileRow->setSpacing(8);
    for (const TerminalCommands::PaletteEntry& entry : TerminalCommands::palette()) {
        auto* button = new PaletteButton(entry, model_.accent());
        connect(button, &QAbstractButton::clicked, this, [this, command = qs(entry.command)] { send(command); });
        tileRow->addWidget(button);
    }
    tileRow->addStretch(1);
    bar->setWidget(tiles);
    // The bar's translucent fill lies over the screen's background, not over the list's own.
    tiles->setAutoFillBackground(false);
    bar->viewport()->setAutoFillBackground(false);
    bar->setFixedHeight(tiles->sizeHint().height());
    column->addWidget(bar);
    column->addWidget(new Divider(Qt::Horizontal));

    column->addWidget(new TerminalConsole(model_), 1);
    column->addWidget(new Divider(Qt::Horizontal));

    auto* inputBar = new RoundedPanel(0, VEQ::surface1());
    inputBar->setObjectName(QStringLiteral("inputBar"));
    auto* inputRow = new QHBoxLayout(inputBar);
    inputRow->setContentsMargins(18, 12, 18, 12);
    inputRow->setSpacing(10);
    inputRow->addWidget(makeLabel(QStringLiteral("\u00BB"), VEQ::numeric(14, QFont::Bold), model_.accent(),
                                  QStringLiteral("prompt")));
    field_ = new QLineEdit(input_);
    field_->setObjectName(QStringLiteral("inputField"));
    field_->setFrame(false);
    field_->setFont(VEQ::numeric(13, QFont::DemiBold));
    field_->setPlaceholderText(QStringLiteral("Commande (ex. 010C, ATRV)\u2026"));
    QPalette palette = field_->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, VEQ::textPrimary());
    palette.setColor(QPalette::PlaceholderText, VEQ::textSecondary());
    field_->setPalette(palette);
    connect(field_, &QLineEdit::textChanged, this, [this](const QString& text) {
        input_ = text;
        refreshSendButton();
    });
    connect(field_, &QLineEdit::returnPressed, this, [this] { send(input_); });
    inputRow->addWidget(field_, 1);
    sendButton_ = new ToolButton({}, ToolSymbol::arrowUpCircleFill, VEQ::label(20, QFont::Normal), VEQ::stroke(), 20);
    sendButton_->setObjectName(QStringLiteral("sendButton"));
    connect(sendButton_, &QAbstractButton::clicked, this, [this] { send(input_); });
    inputRow->addWidget(sendButton_);
    column->addWidget(inputBar);
    refreshSendButton();
    return pane;
}

void TerminalView::setMode(Mode mode) {
    if (modes_->currentIndex() != static_cast<int>(mode)) modes_->segment(static_cast<int>(mode))->setChecked(true);
    if (mode == mode_) return;
    mode_ = mode;
    // The old body goes at once: leaving the monitor stops it before anything else happens.
    delete body_;
    field_ = nullptr;
    sendButton_ = nullptr;
    body_ = mode == Mode::sniffer ? static_cast<QWidget*>(new SnifferView(model_)) : makeConsolePane();
    column_->addWidget(body_, 1);
    clearButton_->setVisible(mode == Mode::console);
}

void TerminalView::send(const QString& text) {
    const QString command = text.trimmed();
    if (command.isEmpty()) return;
    input_.clear();
    if (field_) field_->clear();
    model_.sendTerminalCommand(command.toStdString());
}

void TerminalView::refreshSendButton() {
    if (!sendButton_) return;
    // Judged on the field as typed: blanks alone enable it, though send() will drop them.
    const bool empty = input_.isEmpty();
    sendButton_->setLook({}, ToolSymbol::arrowUpCircleFill, empty ? VEQ::stroke() : model_.accent());
    sendButton_->setEnabled(!empty);
}

void TerminalView::refreshAccent() {
    // Found by name: the tiles have no meta-object of their own to be told apart by type.
    for (auto* button : findChildren<QAbstractButton*>(QStringLiteral("paletteButton"))) {
        static_cast<PaletteButton*>(button)->setAccent(model_.accent());
    }
    if (auto* prompt = findChild<QLabel*>(QStringLiteral("prompt"))) setTextColour(prompt, model_.accent());
    refreshSendButton();
}

void TerminalView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), VEQ::background());
}

} // namespace veq
