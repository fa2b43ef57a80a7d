#include "OskavelCarApp/InterruptedDrives.hpp"

#include "VEQUI/Model/DriveFigures.hpp"

namespace veq::InterruptedDrives {

void completeAll(SessionCatalog& catalog) {
    for (SessionRecord& record : catalog.allSessions()) {
        if (record.endDate) continue;
        catalog.update(record, DriveFigures::fromFile(record.startDate, catalog.contents(record)));
    }
}

} // namespace veq::InterruptedDrives
