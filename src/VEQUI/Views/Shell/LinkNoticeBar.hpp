#pragma once

#include "VEQUI/Model/LinkNotice.hpp"

#include <QString>
#include <QWidget>

class QLabel;

namespace veq {

class AppModel;
class SymbolView;

// The strip across the top of the live window that tells the user the values shown are no
// longer the car's: the link to the adapter is lost, or nothing answers any more. Shown over
// every section and over the full-screen cockpit, which has no "Déconnecter" and says how to
// leave it.
class LinkNoticeBar : public QWidget {
public:
    struct Texts {
        QString title;
        QString detail;
        bool operator==(const Texts&) const = default;
    };

    // What the strip says; empty texts for no notice.
    static Texts textsFor(LinkNotice notice, bool fullScreen);

    explicit LinkNoticeBar(AppModel& model, QWidget* parent = nullptr);

    // Shows the model's notice; hidden without one.
    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    AppModel& model_;
    SymbolView* symbol_;
    QLabel* title_;
    QLabel* detail_;
    QColor tint_;
};

} // namespace veq
