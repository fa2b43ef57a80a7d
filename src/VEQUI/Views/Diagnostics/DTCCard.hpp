#pragma once

#include "VEQProtocol/DTC.hpp"
#include "VEQProtocol/DTCDatabase.hpp"
#include "VEQUI/Views/Kit/CapsuleTag.hpp"
#include "VEQUI/Views/Kit/RoundedPanel.hpp"
#include "VEQUI/Views/Kit/SeverityColor.hpp"

#include <QColor>
#include <QString>

namespace veq {

// The small tag that says where a description came from.
CapsuleTag sourceTag(DTCInfo::Source source);

// One stored trouble code explained: the code and its source tag on the left; the French title
// (wrapped, never cut), the severity and subsystem, and the probable causes on the right; on a
// card outlined in the severity colour.
class DTCCard : public RoundedPanel {
public:
    // Describes the code through the trouble-code text base.
    explicit DTCCard(const DTC& dtc, QWidget* parent = nullptr);

    QColor severityColor() const { return severityColor_; }

private:
    QWidget* makeCodeColumn(const DTC& dtc, const DTCInfo& info);
    QWidget* makeTextColumn(const DTCInfo& info);
    QWidget* makeSeverityLine(const DTCInfo& info);
    QWidget* makeCauses(const DTCInfo& info);

    QColor severityColor_;
};

} // namespace veq
