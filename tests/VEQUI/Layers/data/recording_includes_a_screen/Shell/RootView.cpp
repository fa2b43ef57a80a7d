#include "VEQUI/Views/Recording/TripsView.hpp"
