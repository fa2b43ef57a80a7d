#include "VEQUI/Views/Trips/TripsSection.hpp"

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Views/Trips/ReplayView.hpp"
#include "VEQUI/Views/Trips/TripsView.hpp"

#include <QStackedLayout>

namespace veq {

TripsSection::TripsSection(AppModel& model, bool animated, QWidget* parent)
    : QWidget(parent), model_(model), animated_(animated), stack_(new QStackedLayout(this)),
      trips_(new TripsView(model)) {
    setObjectName(QStringLiteral("tripsSection"));
    stack_->addWidget(trips_);
    trips_->onReplay = [this] { showReplay(); };
    connect(&model_, &AppModel::phaseChanged, this, [this] {
        if (model_.phase() != AppModel::Phase::live()) showTrips();
    });
}

void TripsSection::showReplay() {
    if (model_.phase() != AppModel::Phase::live()) return;
    if (!replay_) {
        replay_ = new ReplayView(model_);
        replay_->setAnimated(animated_);
        replay_->onBack = [this] { showTrips(); };
        stack_->addWidget(replay_);
    }
    stack_->setCurrentWidget(replay_);
    replay_->setFocus(Qt::OtherFocusReason);
}

void TripsSection::showTrips() {
    stack_->setCurrentWidget(trips_);
    if (!replay_) return;
    // Closed from its own button: it goes once control is back in the event loop.
    stack_->removeWidget(replay_);
    replay_->hide();
    replay_->deleteLater();
    replay_ = nullptr;
}

} // namespace veq
