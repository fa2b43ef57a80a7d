#pragma once
#include "VEQUI/Views/Kit/Badge.hpp"
