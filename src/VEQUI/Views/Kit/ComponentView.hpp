#pragma once

#include "VEQUI/Views/Kit/GlowCache.hpp"

#include <QPainter>
#include <QWidget>

#include <utility>

namespace veq {

// Hosts a drawn component value (a tile, a lamp, a sparkline) in a widget layout. The value is
// immutable: the owner hands over a new one, and the widget repaints only when it differs. A
// component that glows is handed the widget's glow images, kept from one value to the next.
template <typename Component>
class ComponentView : public QWidget {
public:
    explicit ComponentView(Component component, QWidget* parent = nullptr)
        : QWidget(parent), component_(std::move(component)), hint_(component_.sizeHint().toSize()) {}

    const Component& component() const { return component_; }
    const Glow::Cache& glowCache() const { return glows_; }

    void set(Component component) {
        if (component == component_) return;
        component_ = std::move(component);
        // Layouts are asked again only when the size wanted changes: live values change every tick.
        if (const QSize hint = component_.sizeHint().toSize(); hint != hint_) {
            hint_ = hint;
            updateGeometry();
        }
        update();
    }

    QSize sizeHint() const override { return hint_; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if constexpr (requires { component_.paint(painter, QRectF(), &glows_); }) {
            component_.paint(painter, QRectF(rect()), &glows_);
        } else {
            component_.paint(painter, QRectF(rect()));
        }
    }

private:
    Component component_;
    Glow::Cache glows_;
    QSize hint_;
};

} // namespace veq
