#pragma once

#include <QWidget>

class QVBoxLayout;

namespace veq {

class AppModel;
class HeaderBar;

// The "Diagnostic" section: the trouble codes the model holds, one explained card each, in the
// model's order (the same code twice gives two cards). Shows only what the model holds: it asks
// nothing of the car and follows every change of the model's codes.
class DiagnosticView : public QWidget {
public:
    explicit DiagnosticView(AppModel& model, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();
    void showEmptyState();
    void showCards();

    AppModel& model_;
    HeaderBar* header_;
    QVBoxLayout* layout_;
    QWidget* content_ = nullptr; // the empty state or the scrolling list
    QVBoxLayout* cards_ = nullptr; // while the list is shown
};

} // namespace veq
