#include "VEQUI/Views/Kit/AppLook.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/SymbolIcons.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

namespace veq {

QPalette darkPalette() {
    QPalette palette;
    const auto set = [&palette](QPalette::ColorRole role, const QColor& colour) {
        palette.setColor(QPalette::All, role, colour);
    };
    set(QPalette::Window, VEQ::background());
    set(QPalette::WindowText, VEQ::textPrimary());
    set(QPalette::Base, VEQ::surface2());
    set(QPalette::AlternateBase, VEQ::surface1());
    set(QPalette::Text, VEQ::textPrimary());
    set(QPalette::PlaceholderText, VEQ::textSecondary());
    set(QPalette::Button, VEQ::surface2());
    set(QPalette::ButtonText, VEQ::textPrimary());
    set(QPalette::BrightText, VEQ::critical());
    set(QPalette::Highlight, VEQ::accent());
    set(QPalette::HighlightedText, VEQ::background());
    set(QPalette::Link, VEQ::accent());
    set(QPalette::LinkVisited, VEQ::accent());
    set(QPalette::ToolTipBase, VEQ::surface1());
    set(QPalette::ToolTipText, VEQ::textPrimary());
    set(QPalette::Light, VEQ::stroke().lighter(130));
    set(QPalette::Midlight, VEQ::stroke());
    set(QPalette::Mid, VEQ::stroke());
    set(QPalette::Dark, VEQ::surface1());
    set(QPalette::Shadow, QColor(0, 0, 0));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, VEQ::textSecondary());
    }
    palette.setColor(QPalette::Disabled, QPalette::Button, VEQ::surface1());
    return palette;
}

void applyApplicationLook() {
    if (auto* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
    QApplication::setPalette(darkPalette());
    QApplication::setFont(VEQ::label(13, QFont::Normal));
    configureIconTheme();
}

} // namespace veq
