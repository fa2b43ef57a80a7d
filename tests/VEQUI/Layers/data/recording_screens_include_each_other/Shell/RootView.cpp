#include "VEQUI/Views/Trips/TripsView.hpp"
#include "VEQUI/Views/Recording/FactView.hpp"
