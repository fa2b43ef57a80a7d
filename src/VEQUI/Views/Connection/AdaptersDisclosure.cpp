#include "VEQUI/Views/Connection/AdaptersDisclosure.hpp"

#include "VEQTransport/OBDAdapterRegistry.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/CentredColumn.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/SymbolIcons.hpp"
#include "VEQUI/Views/Kit/SymbolView.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace veq {

namespace {

constexpr int kInset = 14;
constexpr int kInner = AdaptersDisclosure::kWidth - 2 * kInset;
constexpr int kMark = 10;
constexpr int kMarkSpacing = 8;

QString qs(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

const QString kFootnote = QStringLiteral(
    "Tout adaptateur à base d'ELM327 (ou compatible STN) fonctionne : la détection Bluetooth et WiFi essaie "
    "automatiquement les services et adresses les plus courants.");

QColor withAlpha(QColor colour, double alpha) {
    colour.setAlphaF(static_cast<float>(alpha));
    return colour;
}

// The group's label: a disclosure chevron (turned down while open), the icon and the title.
class DisclosureHeader : public QAbstractButton {
public:
    explicit DisclosureHeader(QWidget* parent) : QAbstractButton(parent) {
        setText(QStringLiteral("Adaptateurs compatibles"));
        setCheckable(true);
        setFont(VEQ::label(12, QFont::DemiBold));
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override {
        const QFontMetrics metrics(font());
        return {kChevron + kGap + kIcon + kGap + metrics.horizontalAdvance(text()), std::max(metrics.height(), kIcon)};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor colour = VEQ::textSecondary();
        const double cy = height() / 2.0;

        // "›", or "⌄" once unfolded.
        QPainterPath chevron;
        if (isChecked()) {
            chevron.moveTo(1.5, cy - 2);
            chevron.lineTo(kChevron / 2.0, cy + 2.5);
            chevron.lineTo(kChevron - 1.5, cy - 2);
        } else {
            chevron.moveTo(kChevron / 2.0 - 2, cy - 4.5);
            chevron.lineTo(kChevron / 2.0 + 2.5, cy);
            chevron.lineTo(kChevron / 2.0 - 2, cy + 4.5);
        }
        QPen pen(colour, 1.6);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.strokePath(chevron, pen);

        double x = kChevron + kGap;
        SymbolIcons::paint(painter, QRectF(x, cy - kIcon / 2.0, kIcon, kIcon), "cablecar", colour);
        x += kIcon + kGap;
        painter.setFont(font());
        painter.setPen(colour);
        painter.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
    }

private:
    static constexpr int kChevron = 10;
    static constexpr int kGap = 6;
    static constexpr int kIcon = 12;
};

} // namespace

AdaptersDisclosure::AdaptersDisclosure(QWidget* parent) : RoundedPanel(12, withAlpha(VEQ::surface1(), 0.5), parent) {
    setObjectName(QStringLiteral("adaptersDisclosure"));
    setFixedWidth(kWidth);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kInset, kInset, kInset, kInset);
    column->setSpacing(0);

    toggle_ = new DisclosureHeader(this);
    toggle_->setObjectName(QStringLiteral("adaptersDisclosureToggle"));
    column->addWidget(toggle_);

    content_ = new QWidget(this);
    content_->setObjectName(QStringLiteral("adaptersList"));
    auto* rows = new QVBoxLayout(content_);
    rows->setContentsMargins(0, 8, 0, 0);
    rows->setSpacing(6);
    for (const auto& adapter : OBDAdapterRegistry::knownAdapters) {
        auto* row = new QHBoxLayout;
        row->setSpacing(kMarkSpacing);
        row->setAlignment(Qt::AlignTop);
        auto* mark = new SymbolView("checkmark.circle.fill", kMark, VEQ::confirm());
        auto* markColumn = new QVBoxLayout;
        markColumn->setContentsMargins(0, 2, 0, 0);
        markColumn->addWidget(mark);
        markColumn->addStretch();
        row->addLayout(markColumn);

        auto* texts = new QVBoxLayout;
        texts->setSpacing(1);
        auto* heading = new QHBoxLayout;
        heading->setSpacing(6);
        heading->addWidget(makeLabel(qs(adapter.name), VEQ::label(11, QFont::DemiBold), VEQ::textPrimary(),
                                     QStringLiteral("adapterName")));
        auto* link = makeLabel(qs(adapter.link), VEQ::label(9, QFont::Medium), VEQ::accent(), QStringLiteral("adapterLink"));
        links_.push_back(link);
        heading->addWidget(link);
        heading->addStretch();
        texts->addLayout(heading);
        texts->addWidget(makeWrappingLabel(qs(adapter.note), VEQ::label(10, QFont::Medium), VEQ::textSecondary(),
                                           kInner - kMark - kMarkSpacing, QStringLiteral("adapterNote")));
        row->addLayout(texts, 1);
        rows->addLayout(row);
    }
    rows->addSpacing(4);
    rows->addWidget(makeWrappingLabel(kFootnote, VEQ::label(10, QFont::Medium), withAlpha(VEQ::textSecondary(), 0.75),
                                      kInner, QStringLiteral("adaptersFootnote")));
    column->addWidget(content_);
    content_->setVisible(false);

    QObject::connect(toggle_, &QAbstractButton::toggled, this, [this](bool on) {
        content_->setVisible(on);
        contentSizeChanged(this);
    });
}

bool AdaptersDisclosure::isExpanded() const { return toggle_->isChecked(); }

void AdaptersDisclosure::setExpanded(bool expanded) { toggle_->setChecked(expanded); }

void AdaptersDisclosure::setAccent(const QColor& accent) {
    for (auto* link : links_) setTextColour(link, accent);
}

} // namespace veq
