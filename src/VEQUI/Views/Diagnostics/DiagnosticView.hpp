#pragma once

#include <QWidget>

class QVBoxLayout;

namespace veq {

class AppModel;
class HeaderBar;

// The "Diagnostic" section: the trouble codes the model holds, one explained card each, in the
// model's order (the same code twice gives two cards), or "Codes non lus" when the codes could not
// be read whole. Shows only what the model holds: it asks nothing of the car and follows every
// change of the model's codes.
class DiagnosticView : public QWidget {
public:
    explicit DiagnosticView(AppModel& model, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();
    // The state shown in place of cards: no code, or codes unread.
    void showNote(bool unread);
    void showCards();

    AppModel& model_;
    HeaderBar* header_;
    QVBoxLayout* layout_;
    QWidget* content_ = nullptr; // the note or the scrolling list
    QVBoxLayout* cards_ = nullptr; // while the list is shown
    bool noteUnread_ = false;      // while a note is shown: the one of codes unread
};

} // namespace veq
