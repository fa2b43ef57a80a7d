#include "VEQUI/Views/Trips/DriveTimeline.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/RangeTimeline.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"
#include "VEQUI/Views/Kit/WheelFocus.hpp"
#include "VEQUI/Views/Trips/PanelButton.hpp"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace veq {

DriveTimeline::DriveTimeline(int width, QWidget* parent)
    : QWidget(parent), range_(new RangeTimeline), channels_(new QComboBox),
      whole_(makePanelButton(QStringLiteral("Tout le trajet"), QStringLiteral("wholeDriveButton"))),
      refresh_(makePanelButton(QStringLiteral("Actualiser"), QStringLiteral("refreshDriveButton"))),
      note_(makeWrappingLabel({}, VEQ::label(11, QFont::Medium), VEQ::textSecondary(), width,
                              QStringLiteral("timelineNote"))) {
    setObjectName(QStringLiteral("driveTimelineSection"));
    setFixedWidth(width);
    range_->setObjectName(QStringLiteral("driveTimeline"));
    channels_->setObjectName(QStringLiteral("timelineChannelPicker"));
    channels_->setToolTip(QStringLiteral("Le canal dessiné sous les poignées"));
    channels_->setFont(VEQ::label(12, QFont::Medium));
    channels_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    channels_->setMinimumContentsLength(8);
    WheelFocus::onlyWhenFocused(*channels_);
    refresh_->setToolTip(QStringLiteral("Relire le trajet en cours jusqu'à maintenant"));
    whole_->setToolTip(QStringLiteral("Sélectionner tout le trajet"));

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    auto* heading = new QHBoxLayout;
    heading->setSpacing(8);
    heading->addWidget(makeLabel(QStringLiteral("EXTRAIT"), tracked(VEQ::label(10, QFont::Bold), 1), VEQ::textSecondary()));
    heading->addWidget(channels_, 1);
    column->addLayout(heading);
    column->addWidget(range_);
    auto* actions = new QHBoxLayout;
    actions->setSpacing(8);
    actions->addWidget(whole_);
    actions->addWidget(refresh_);
    actions->addStretch(1);
    column->addLayout(actions);
    column->addWidget(note_);

    QObject::connect(whole_, &QPushButton::clicked, this, [this] { range_->selectWhole(); });
    QObject::connect(refresh_, &QPushButton::clicked, this, [this] {
        if (onRefresh) onRefresh();
    });
    QObject::connect(channels_, &QComboBox::activated, this, [this](int index) {
        const QVariant pid = channels_->itemData(index);
        if (pid.isValid() && onChannel) onChannel(static_cast<std::uint8_t>(pid.toUInt()));
    });
    showUnavailable({});
}

void DriveTimeline::showReading(bool live, bool again) {
    if (!again) showUnavailable({});
    range_->setBusy(true);
    refresh_->setVisible(live);
    refresh_->setEnabled(false);
    note_->setText(QStringLiteral("Lecture du trajet…"));
    note_->setVisible(true);
}

void DriveTimeline::showDrive(DriveReading::Opened opened, bool live, bool again) {
    opened_ = std::move(opened);
    range_->setBusy(false);
    range_->setBackdrop(opened_.backdrop);
    range_->setAxis(0, opened_.duration);
    if (!again) range_->selectWhole();
    fillChannels();
    range_->setEnabled(opened_.duration > 0);
    whole_->setEnabled(opened_.duration > 0);
    channels_->setEnabled(channels_->count() > 1);
    refresh_->setVisible(live);
    refresh_->setEnabled(true);
    note_->setText(opened_.duration > 0 ? QString() : QStringLiteral("Ce trajet n'a encore aucune mesure à découper."));
    note_->setVisible(!note_->text().isEmpty());
}

void DriveTimeline::showUnavailable(const QString& reason) {
    opened_ = {};
    range_->setBusy(false);
    range_->setBackdrop({});
    range_->setAxis(0, 0);
    range_->setEnabled(false);
    whole_->setEnabled(false);
    channels_->clear();
    channels_->setEnabled(false);
    refresh_->setVisible(false);
    note_->setText(reason);
    note_->setVisible(!reason.isEmpty());
}

void DriveTimeline::setBackdrop(std::uint8_t channel, std::vector<double> backdrop) {
    opened_.channel = channel;
    opened_.backdrop = std::move(backdrop);
    range_->setBackdrop(opened_.backdrop);
    if (const int index = channels_->findData(static_cast<unsigned>(channel)); index >= 0) channels_->setCurrentIndex(index);
}

std::optional<DriveExport::Excerpt> DriveTimeline::excerpt() const {
    if (!opened_.contents || range_->isWhole()) return std::nullopt;
    return DriveExport::Excerpt{range_->start(), range_->end(), range_->end() >= range_->upper()};
}

void DriveTimeline::fillChannels() {
    channels_->clear();
    if (!opened_.contents) return;
    for (const auto& channel : opened_.contents->channels) {
        channels_->addItem(QString::fromStdString(channel.name), QVariant(static_cast<unsigned>(channel.pid)));
    }
    if (opened_.channel) {
        if (const int index = channels_->findData(static_cast<unsigned>(*opened_.channel)); index >= 0) {
            channels_->setCurrentIndex(index);
        }
    }
}

} // namespace veq
