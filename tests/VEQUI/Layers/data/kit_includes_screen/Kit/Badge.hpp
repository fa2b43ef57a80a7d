#pragma once
#include "VEQUI/Views/Kit/Dot.hpp"
#include "VEQUI/Views/Expert/ExpertView.hpp"
