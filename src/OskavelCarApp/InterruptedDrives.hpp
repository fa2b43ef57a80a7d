#pragma once

#include "VEQStore/Catalog/SessionCatalog.hpp"

// Drives that a crash cut short. A drive gets its end and figures when it is synchronised (a
// disconnection, a lost link, the window closing); a killed process reaches none of these, and
// leaves a record that is not under way and never will be, while its file holds what was
// recorded up to the last flush.
namespace veq::InterruptedDrives {

// Completes and saves every record of `catalog` that has no end date, from its own file
// (DriveFigures::fromFile); trouble codes and the 0-100 time stay as they were. Only for the one
// instance that holds the data folder: there, no such record is a drive under way.
void completeAll(SessionCatalog& catalog);

} // namespace veq::InterruptedDrives
