#include "VEQUI/Views/Kit/FileExporter.hpp"
#include "VEQUI/Views/Trips/TripsView.hpp"
