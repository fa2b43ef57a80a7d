#pragma once

#include "VEQEngine/UDS/ProtocolSweep.hpp"
#include "VEQUI/Views/Kit/RoundedPanel.hpp"

#include <QColor>

#include <optional>
#include <string>
#include <vector>

class QLabel;
class QScrollArea;
class QVBoxLayout;

namespace veq {

class SymbolView;

// The texts of the sweep panel, from the model's values.
namespace SweepPanelText {

// The attempts listed: the last nine, newest first.
std::vector<ProtocolSweep::Attempt> listedAttempts(const std::vector<ProtocolSweep::Attempt>& attempts);
// "12 essais", the same form for every count.
std::string count(std::size_t attempts);
// "✓ " and the protocol's name, then " · en-tête " and the header when there is one; nothing
// unless the sweep found a protocol.
std::optional<std::string> result(const std::optional<ProtocolSweep::Outcome>& sweep);
// "Trafic entendu : " and the first eight lines joined by ", "; nothing without traffic.
std::optional<std::string> traffic(const std::vector<std::string>& busTraffic);

} // namespace SweepPanelText

// The protocol sweep as it runs: its attempts, newest on top, what it found and the bus traffic
// heard after it.
class SweepPanel : public RoundedPanel {
public:
    static constexpr int kWidth = 380;
    static constexpr int kListHeight = 108;

    explicit SweepPanel(QWidget* parent = nullptr);

    void display(const std::vector<ProtocolSweep::Attempt>& attempts, const std::optional<ProtocolSweep::Outcome>& sweep,
                 const std::vector<std::string>& busTraffic);
    void setAccent(const QColor& accent);

private:
    SymbolView* icon_;
    QLabel* count_;
    QScrollArea* list_;
    QVBoxLayout* rows_;
    QLabel* result_;
    QLabel* traffic_;
};

} // namespace veq
