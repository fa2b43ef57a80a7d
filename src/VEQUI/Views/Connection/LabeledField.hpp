#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

namespace veq {

// A caption over a plain one-line text field on a rounded inner panel ("ADRESSE", "PORT").
class LabeledField : public QWidget {
public:
    LabeledField(const QString& caption, int width, QWidget* parent = nullptr);

    QLineEdit* field() const { return field_; }
    QLabel* caption() const { return caption_; }

private:
    QLabel* caption_;
    QLineEdit* field_;
};

} // namespace veq
