#include "VEQEngine/UDS/DIDRange.hpp"

namespace veq {

std::string DIDRange::id() const { return std::to_string(start) + "-" + std::to_string(end); }

std::int32_t DIDRange::count() const {
    if (start > end) return 0;
    return static_cast<std::int32_t>(end) - static_cast<std::int32_t>(start) + 1;
}

const std::vector<DIDRange>& DIDRange::priority() {
    // clang-format off
    static const std::vector<DIDRange> table{
        {0xF180, 0xF1FF, "Identification (ISO)",  "Numéros de pièce, versions logicielles, VIN, numéros de série. Normalisé \u2014 le plus rentable."},
        {0x0100, 0x02FF, "Configuration basse",   "Zone fréquemment utilisée par les constructeurs pour les options de confort."},
        {0x0300, 0x05FF, "Configuration moyenne", "Paramètres d'équipement et de variantes."},
        {0x2000, 0x20FF, "Mesures constructeur",  "Souvent des valeurs vivantes (températures, régimes, états) chez Mercedes."},
        {0x0000, 0xFFFF, "Balayage complet",      "Exhaustif mais très long (plusieurs heures selon l'adaptateur)."},
    };
    // clang-format on
    return table;
}

} // namespace veq
