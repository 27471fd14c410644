#pragma once

#include "UpdatePlan.h"
#include "UpdateReport.h"

namespace quorvex {

// Where an online update's appends must end so that the history gets no gap it could see: at
// the first year whose page failed, whose scan ended before the page's last draw, or whose page
// lists no draw while a later year's page does. Returns the draws to store, in issue order;
// sets report.stop and marks as held every year whose draws are not stored. When the plan
// clears the history (retention), a stop keeps the old history: nothing is stored at all.
QVector<ScannedDraw> drawsBeforeFirstGap(UpdateReport& report, const UpdatePlan& plan);

} // namespace quorvex
