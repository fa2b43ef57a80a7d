#pragma once

#include "VEQUI/Views/Diagnostics/TerminalCommands.hpp"

#include <QString>
#include <QWidget>

class QAbstractButton;
class QLabel;
class QLineEdit;
class QVBoxLayout;

namespace veq {

class AppModel;
class SegmentedPicker;
class ToolButton;

// The "Terminal" section: raw commands for the adapter and their replies as a transcript, or, in
// its second mode, the bus monitor. Every exchange is the model's: the screen hands it each
// command and shows its log. Built anew at each visit: console mode, empty field.
class TerminalView : public QWidget {
public:
    using Mode = TerminalCommands::Mode;

    explicit TerminalView(AppModel& model, QWidget* parent = nullptr);

    Mode mode() const { return mode_; }
    void setMode(Mode mode);
    const QString& input() const { return input_; }

    // Sends the text, trimmed, unless nothing is left of it; the field empties whatever the
    // text's source. The reply reaches the transcript through the model.
    void send(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* makeHeader();
    QWidget* makeConsolePane();
    void refreshAccent();
    void refreshSendButton();

    AppModel& model_;
    Mode mode_ = Mode::console;
    QString input_;
    QVBoxLayout* column_;
    SegmentedPicker* modes_ = nullptr;
    ToolButton* clearButton_ = nullptr;
    QWidget* body_ = nullptr; // the console pane or the bus monitor
    // Within the console pane, while it is shown.
    QLineEdit* field_ = nullptr;
    ToolButton* sendButton_ = nullptr;
};

} // namespace veq
