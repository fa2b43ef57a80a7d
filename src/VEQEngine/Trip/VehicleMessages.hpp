#pragma once

#include "VEQProtocol/ReadinessMonitors.hpp"
#include "VEQSupport/Enum.hpp"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace veq {

// One card of the vehicle-messages screen, in the manner of an instrument-cluster message centre.
struct VehicleMessage {
    // Ordered by severity.
    enum class Level : int { ok = 0, info = 1, attention = 2, warning = 3, critical = 4 };

    // Where the value comes from.
    struct Availability {
        struct Readable {
            std::uint8_t pid; // a standard mode 01 parameter
            bool operator==(const Readable&) const = default;
        };
        struct RequiresDID {
            std::string ecu;  // the control unit to search
            std::string hint; // what to look for
            bool operator==(const RequiresDID&) const = default;
        };
        struct Mapped {
            std::string ecu;
            std::uint16_t did;
            bool operator==(const Mapped&) const = default;
        };

        static Availability readable(std::uint8_t pid) { return {Readable{pid}}; }
        static Availability requiresDID(std::string ecu, std::string hint) {
            return {RequiresDID{std::move(ecu), std::move(hint)}};
        }
        static Availability mapped(std::string ecu, std::uint16_t did) { return {Mapped{std::move(ecu), did}}; }

        std::variant<Readable, RequiresDID, Mapped> kind;
        bool operator==(const Availability&) const = default;
    };

    std::string id; // stable identity of the card
    std::string title;
    std::string detail;
    Level level = Level::ok;
    Availability availability;
    std::optional<std::string> value;
    std::string icon; // name of a system symbol image

    // False while the value still needs a data identifier nobody has mapped.
    bool isReadable() const { return !std::holds_alternative<Availability::RequiresDID>(availability.kind); }

    bool operator==(const VehicleMessage&) const = default;
};

template <>
struct EnumTraits<VehicleMessage::Level> {
    using Raw = int;
    static constexpr std::array allCases{VehicleMessage::Level::ok, VehicleMessage::Level::info,
                                         VehicleMessage::Level::attention, VehicleMessage::Level::warning,
                                         VehicleMessage::Level::critical};
    static constexpr Raw raw(VehicleMessage::Level l) { return static_cast<Raw>(l); }
};

// Builds the message list from what the application holds; reads nothing from the car.
struct VehicleMessageCenter {
    // An item standard OBD-II does not publish: it needs a manufacturer data identifier.
    struct ProprietaryItem {
        std::string_view id;
        std::string_view title;
        std::string_view detail;       // shown while unmapped
        std::string_view mappedDetail; // shown once mapped
        std::string_view ecu;
        std::string_view hint;
        std::string_view icon;
        std::string_view unit;
        std::optional<double> warnBelow;
        std::optional<double> warnAbove;
    };

    // A data identifier the user mapped to a proprietary item, with its latest value if read.
    struct MappedDID {
        std::string ecu;
        std::uint16_t did = 0;
        std::optional<double> value;
    };

    static const std::array<ProprietaryItem, 5> proprietaryItems;

    // values: latest decoded mode 01 values by parameter number, metric units; dtcCount: stored
    // trouble codes known; mappedDIDs: by proprietary item id. Most severe first; equal levels keep
    // the order of creation.
    static std::vector<VehicleMessage> evaluate(const std::map<std::uint8_t, double>& values, int dtcCount,
                                                const std::optional<MonitorStatus>& monitorStatus,
                                                const std::map<std::string, MappedDID>& mappedDIDs);
};

} // namespace veq
