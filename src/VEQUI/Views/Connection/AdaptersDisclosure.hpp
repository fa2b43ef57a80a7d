#pragma once

#include "VEQUI/Views/Kit/RoundedPanel.hpp"

#include <QColor>
#include <QLabel>
#include <vector>

class QAbstractButton;

namespace veq {

// The wizard's foldable list of the adapters known to work, collapsed when it is made.
class AdaptersDisclosure : public RoundedPanel {
public:
    static constexpr int kWidth = 460;

    explicit AdaptersDisclosure(QWidget* parent = nullptr);

    bool isExpanded() const;
    void setExpanded(bool expanded);
    // The colour of the adapters' link tags.
    void setAccent(const QColor& accent);

    QAbstractButton* toggle() const { return toggle_; }

private:
    QAbstractButton* toggle_;
    QWidget* content_;
    std::vector<QLabel*> links_;
};

} // namespace veq
