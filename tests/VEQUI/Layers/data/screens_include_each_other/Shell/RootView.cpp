#include "VEQUI/Views/Diagnostics/SnifferView.hpp"
#include "VEQUI/Views/Instruments/CockpitView.hpp"
