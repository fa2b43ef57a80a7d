#include "VEQUI/Views/Recording/FactView.hpp"
#include "VEQUI/Views/Capture/CaptureView.hpp"
#include "VEQUI/Views/Instruments/InstrumentReadings.hpp"
