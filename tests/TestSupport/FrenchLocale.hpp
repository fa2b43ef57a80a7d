#pragma once

#include <clocale>
#include <string>

namespace veq::testing {

// Switches the process to a French locale for the life of the object, as Qt does from the
// user's environment, so tests can prove number texts still use a point.
class FrenchLocale {
public:
    FrenchLocale() {
        const char* current = std::setlocale(LC_ALL, nullptr);
        previous_ = current ? current : "C";
        for (const char* name : {"fr_FR.UTF-8", "fr_FR.utf8"}) {
            if (std::setlocale(LC_ALL, name) != nullptr) {
                active_ = true;
                break;
            }
        }
    }
    ~FrenchLocale() { std::setlocale(LC_ALL, previous_.c_str()); }
    FrenchLocale(const FrenchLocale&) = delete;
    FrenchLocale& operator=(const FrenchLocale&) = delete;

    // False when the machine has no French locale (install-deps generates it).
    bool active() const { return active_; }

private:
    std::string previous_;
    bool active_ = false;
};

} // namespace veq::testing
