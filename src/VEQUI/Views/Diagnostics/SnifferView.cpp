#include "VEQUI/Views/Diagnostics/SnifferView.hpp"

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Divider.hpp"
#include "VEQUI/Views/Kit/FileExporter.hpp"
#include "VEQUI/Views/Diagnostics/FrameTable.hpp"
#include "VEQUI/Views/Kit/Dot.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/RoundedPanel.hpp"
#include "VEQUI/Views/Diagnostics/ToolSymbols.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QShowEvent>
#include <QStackedLayout>
#include <QVBoxLayout>


namespace veq {

namespace {

QColor withAlpha(QColor colour, double alpha) {
    colour.setAlphaF(static_cast<float>(alpha));
    return colour;
}

// The status dot: 8 pixels, glowing (radius 4) while the monitor runs, in a square that leaves
// its glow room.
constexpr double statusDotDiameter = 8;
constexpr int statusDotBox = 16;

Dot statusDot(bool lit) {
    return lit ? Dot{statusDotDiameter, VEQ::confirm(), 0.8, 4} : Dot{statusDotDiameter, VEQ::stroke()};
}

constexpr int headerVerticalPadding = 6;

QLabel* columnTitle(const QString& text, int width, Qt::Alignment alignment) {
    auto* label = makeLabel(text, VEQ::label(9, QFont::DemiBold), VEQ::textSecondary(), QStringLiteral("columnTitle"));
    label->setAlignment(alignment | Qt::AlignVCenter);
    if (width > 0) label->setFixedWidth(width);
    return label;
}

QWidget* makeColumnHeader() {
    auto* header = new QWidget;
    header->setObjectName(QStringLiteral("columnHeader"));
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(FrameTable::sidePadding, headerVerticalPadding, FrameTable::sidePadding,
                            headerVerticalPadding);
    row->setSpacing(FrameTable::cellSpacing);
    row->addWidget(columnTitle(QStringLiteral("ID"), FrameTable::idWidth, Qt::AlignLeft));
    row->addWidget(columnTitle(QStringLiteral("DONN\u00C9ES"), 0, Qt::AlignLeft), 1);
    row->addWidget(columnTitle(QStringLiteral("Hz"), FrameTable::rateWidth, Qt::AlignRight));
    row->addWidget(columnTitle(QStringLiteral("N"), FrameTable::countWidth, Qt::AlignRight));
    return header;
}

QWidget* makeEmptyState() {
    auto* state = new QWidget;
    state->setObjectName(QStringLiteral("emptyState"));
    auto* column = new QVBoxLayout(state);
    column->setSpacing(8);
    column->addStretch(1);
    auto* symbol = new ToolButton({}, ToolSymbol::radiowaves, VEQ::label(30, QFont::Normal), VEQ::textSecondary(), 30);
    symbol->setObjectName(QStringLiteral("emptySymbol"));
    symbol->setEnabled(true);
    symbol->setAttribute(Qt::WA_TransparentForMouseEvents);
    symbol->setFocusPolicy(Qt::NoFocus);
    column->addWidget(symbol, 0, Qt::AlignHCenter);
    column->addWidget(makeLabel(QStringLiteral("En attente de trafic CAN\u2026"), VEQ::label(13, QFont::Medium),
                                VEQ::textSecondary(), QStringLiteral("emptyTitle")),
                      0, Qt::AlignHCenter);
    column->addWidget(makeLabel(QStringLiteral("Le bus OBD ne diffuse pas toujours de trames en continu."),
                                VEQ::label(11, QFont::Medium), withAlpha(VEQ::textSecondary(), 0.7),
                                QStringLiteral("emptyDetail")),
                      0, Qt::AlignHCenter);
    column->addStretch(1);
    return state;
}

} // namespace

SnifferView::SnifferView(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), statusDot_(new DotView(statusDot(false))),
      statusText_(makeLabel({}, VEQ::label(11, QFont::Medium), VEQ::textSecondary(), QStringLiteral("statusText"))),
      recordButton_(new ToolButton({}, ToolSymbol::recordCircle, VEQ::label(11, QFont::Medium), VEQ::textSecondary(), 13)),
      exportButton_(new ToolButton(QStringLiteral("Exporter .asc"), ToolSymbol::squareAndArrowUp,
                                   VEQ::label(11, QFont::Medium), VEQ::textSecondary(), 13)),
      idCount_(makeLabel({}, VEQ::numeric(11, QFont::DemiBold), VEQ::textSecondary(), QStringLiteral("idCount"))),
      columnHeader_(makeColumnHeader()),
      content_(new QStackedLayout), table_(new FrameTable([&model]() -> const CANFrameTable::Rows& { return model.snifferRows(); },
                                           [&model] { return model.accent(); })) {
    setObjectName(QStringLiteral("SnifferView"));
    statusDot_->setObjectName(QStringLiteral("statusDot"));
    statusDot_->setFixedSize(statusDotBox, statusDotBox);
    recordButton_->setObjectName(QStringLiteral("recordButton"));
    exportButton_->setObjectName(QStringLiteral("exportButton"));

    auto* banner = new RoundedPanel(0, withAlpha(VEQ::surface1(), 0.5));
    banner->setObjectName(QStringLiteral("banner"));
    auto* bannerRow = new QHBoxLayout(banner);
    bannerRow->setContentsMargins(16, 8, 16, 8);
    bannerRow->setSpacing(10);
    bannerRow->addWidget(statusDot_);
    bannerRow->addWidget(statusText_);
    bannerRow->addStretch(1);
    bannerRow->addWidget(recordButton_);
    bannerRow->addWidget(exportButton_);
    bannerRow->addWidget(idCount_);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(banner);
    column->addWidget(columnHeader_);
    column->addWidget(new Divider(Qt::Horizontal));
    content_->addWidget(makeEmptyState());
    content_->addWidget(table_);
    column->addLayout(content_, 1);
    table_->installEventFilter(this);
    table_->viewport()->installEventFilter(this);

    refreshTimer_.setSingleShot(true);
    refreshTimer_.setInterval(refreshInterval);
    connect(&refreshTimer_, &QTimer::timeout, this, [this] { refresh(); });
    connect(recordButton_, &QAbstractButton::clicked, this, [this] { model_.toggleSnifferRecording(); });
    connect(exportButton_, &QAbstractButton::clicked, this, [this] { exportTrace(); });
    // The banner follows the monitor and the recording switch at once; the stream of frames is
    // taken in at the refresh tick.
    connect(&model_, &AppModel::sniffingChanged, this, [this] { refreshBanner(); });
    connect(&model_, &AppModel::snifferRecordingChanged, this, [this] { refreshBanner(); });
    connect(&model_, &AppModel::snifferRowsChanged, this, [this] { scheduleRefresh(); });
    connect(&model_, &AppModel::recordedFramesChanged, this, [this] { scheduleRefresh(); });
    connect(&model_, &AppModel::nightModeChanged, this, [this] { scheduleRefresh(); });
    refresh();
}

SnifferView::~SnifferView() {
    if (running_) model_.stopSniffer();
}

void SnifferView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A window coming back from the task bar is no new appearance of the screen.
    if (event->spontaneous() || running_) return;
    running_ = true;
    model_.startSniffer();
    refresh();
}

void SnifferView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (event->spontaneous() || !running_) return;
    running_ = false;
    model_.stopSniffer();
}

bool SnifferView::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if ((watched == table_->viewport() && type == QEvent::Resize) ||
        (watched == table_ && (type == QEvent::Show || type == QEvent::Hide))) {
        alignColumnHeader();
    }
    return QWidget::eventFilter(watched, event);
}

void SnifferView::alignColumnHeader() {
    const int bar = table_->isVisibleTo(this) ? table_->width() - table_->viewport()->width() : 0;
    columnHeader_->layout()->setContentsMargins(FrameTable::sidePadding, headerVerticalPadding,
                                                FrameTable::sidePadding + bar, headerVerticalPadding);
}

void SnifferView::scheduleRefresh() {
    if (!refreshTimer_.isActive()) refreshTimer_.start();
}

void SnifferView::refresh() {
    refreshTimer_.stop();
    refreshBanner();
    const bool empty = model_.snifferRows().empty();
    content_->setCurrentIndex(empty ? 0 : 1);
    table_->refresh();
}

void SnifferView::refreshBanner() {
    const bool sniffing = model_.sniffing();
    statusDot_->set(statusDot(sniffing));
    statusText_->setText(sniffing ? QStringLiteral("Sniffer actif \u2014 t\u00E9l\u00E9m\u00E9trie en pause")
                                  : QStringLiteral("Sniffer arr\u00EAt\u00E9"));
    const auto recorded = static_cast<long long>(model_.recordedFrames().size());
    if (model_.snifferRecording()) {
        recordButton_->setLook(QStringLiteral("Enregistre (%1)").arg(recorded), ToolSymbol::recordCircleFill,
                               VEQ::critical());
    } else {
        recordButton_->setLook(QStringLiteral("Enregistrer"), ToolSymbol::recordCircle, VEQ::textSecondary());
    }
    exportButton_->setEnabled(recorded > 0);
    idCount_->setText(QStringLiteral("%1 ID").arg(static_cast<long long>(model_.snifferRows().size())));
}

void SnifferView::exportTrace() {
    // The save panel is modal; whatever the user chooses, the screen stays as it was. A trace
    // never replaces a file the application keeps (the catalogue, the instance lock ...).
    FileExporter::save(model_.dialogs(), model_.snifferASCText(), suggestedTraceName,
                       FileExporter::ContentType{"Trace CAN (ASC)", "asc"},
                       [this](const std::filesystem::path& destination) { return model_.keptFileRefusal(destination); });
}

void SnifferView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), VEQ::background());
}

} // namespace veq
