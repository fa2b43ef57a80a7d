#pragma once

#include "VEQEngine/Session/ELM327Session.hpp"
#include "VEQEngine/Session/TransmitHeader.hpp"
#include "VEQEngine/UDS/UDSClient.hpp"
#include "VEQProtocol/PIDReading.hpp"

#include <array>
#include <cstdint>
#include <set>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace veq {

// Obtains mode 01 parameters the vehicle's mode 01 support does not list by reading them from the
// engine ECU as WWH-OBD data identifiers (0xF400 + parameter number) over UDS, and decodes them
// with the parameter catalogue. Every read goes out addressed physically to 7E0, while the
// polling's requests keep their own header. Thread-safe; never fails: what cannot be read is left
// out, and a failure of the link or a stop request ends the run with what it has.
class WWHRecovery {
public:
    struct Recovered {
        std::uint8_t pid = 0;
        PIDReading reading;
        std::string name; // the catalogue's French name

        bool operator==(const Recovered&) const = default;
    };

    static constexpr std::string_view engineECU = "7E0";
    static constexpr std::string_view functionalAddress = functionalHeader11Bit;
    // Oil temperature, intake pressure, boost control, charge-air temperature, exhaust
    // temperature, barometric pressure, fuel rate, odometer, fuel level, ambient temperature.
    static constexpr std::array<std::uint8_t, 10> wanted{0x5C, 0x0B, 0x70, 0x77, 0x78, 0x33, 0x5E, 0xA6, 0x2F, 0x46};
    // The data identifier of a parameter: 0xF4 then the parameter number.
    static constexpr std::uint16_t identifierBase = 0xF400;

    // The session must outlive the recovery.
    explicit WWHRecovery(ELM327Session& session);

    WWHRecovery(const WWHRecovery&) = delete;
    WWHRecovery& operator=(const WWHRecovery&) = delete;

    // Reads the wanted parameters that are not in `supported` and that the catalogue defines;
    // sends nothing when there is none.
    std::vector<Recovered> recover(const std::set<std::uint8_t>& supported, std::stop_token stop = {});
    // The values obtained for `pids`, in their order.
    std::vector<Recovered> read(const std::vector<std::uint8_t>& pids, std::stop_token stop = {});

    // The value bytes of a read answer (after the echoed identifier) with a repeated parameter
    // number removed: only when the answer is one byte longer than the parameter's value and
    // begins with the parameter number, so that a real value byte is never taken for it.
    static std::vector<std::uint8_t> valueBytes(std::uint8_t pid, int byteCount, std::vector<std::uint8_t> answer);

    const UDSClient& client() const { return client_; }

private:
    UDSClient client_;
};

} // namespace veq
