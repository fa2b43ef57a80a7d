#include "VEQUI/Views/Kit/FileExporter.hpp"
#include "VEQUI/Views/Instruments/InstrumentReadings.hpp"
