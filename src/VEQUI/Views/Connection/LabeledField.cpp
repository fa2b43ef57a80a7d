#include "VEQUI/Views/Connection/LabeledField.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/RoundedPanel.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace veq {

LabeledField::LabeledField(const QString& caption, int width, QWidget* parent) : QWidget(parent) {
    setFixedWidth(width);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(3);

    // Upper-cased by Unicode's rules, whatever the locale.
    caption_ = makeLabel(caption.toUpper(), tracked(VEQ::label(9, QFont::Medium), 1), VEQ::textSecondary(),
                         QStringLiteral("fieldCaption"));
    column->addWidget(caption_);

    auto* panel = new RoundedPanel(8, VEQ::surface2());
    auto* inset = new QVBoxLayout(panel);
    inset->setContentsMargins(8, 8, 8, 8);
    field_ = new QLineEdit;
    field_->setFrame(false);
    field_->setFont(VEQ::numeric(13, QFont::DemiBold));
    QPalette palette = field_->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, VEQ::textPrimary());
    field_->setPalette(palette);
    field_->setTextMargins(0, 0, 0, 0);
    inset->addWidget(field_);
    column->addWidget(panel);
}

} // namespace veq
