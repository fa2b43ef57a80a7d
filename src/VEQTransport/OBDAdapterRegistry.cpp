#include "VEQTransport/OBDAdapterRegistry.hpp"

namespace veq::OBDAdapterRegistry {

// clang-format off
const std::array<std::string_view, 10> bleServiceUUIDStrings{
    "FFF0",
    "FFE0",
    "FFE1",
    "FFF6",
    "FFE5",
    "FEE7",
    "18F0",
    "ABF0",
    "E7810A71-73AE-499D-8C15-FAA9AEF0C3F2",
    "6E400001-B5A3-F393-E0A9-E50E24DCCA9E",
};

// 192.168.0.10 is where most Wi-Fi ELM327 clones answer; 192.168.4.1 is the first host of the
// soft access point of ESP-based adapters; 192.168.0.74 is the OBDLink's address.
const std::array<WiFiEndpointRow, 6> wifiEndpoints{{
    {"192.168.0.10",   35000},
    {"192.168.0.10",   23},
    {"192.168.4.1",    35000},
    {"192.168.4.1",    23},
    {"192.168.0.74",   35000},
    {"10.10.100.254",  35000},
}};

const std::array<KnownAdapter, 7> knownAdapters{{
    {"ELM327 clone (bleu/orange)", "WiFi / BLE", "Le plus répandu. WiFi 192.168.0.10:35000, BLE service FFF0."},
    {"Vgate iCar Pro",             "BLE / WiFi", "BLE FFE0/FFF0. Un des clones les plus fiables."},
    {"Veepeak OBDCheck BLE",       "BLE",        "Service FFF0, très courant sur iOS."},
    {"OBDLink MX+ / LX",           "BLE / WiFi", "Puce STN, plus rapide et fiable qu'un ELM327. WiFi 192.168.0.74."},
    {"Konnwei KW902 / KW903",      "BLE",        "Clone BLE à bas coût, service FFE0."},
    {"Kiwi 3",                     "BLE",        "Service Nordic UART."},
    {"Carista",                    "BLE",        "Service FFF6."},
}};
// clang-format on

} // namespace veq::OBDAdapterRegistry
