#pragma once
// The failures of a job as the lines of a message box.

#include "jobs/job_control.h"

#include <QString>

#include <vector>

namespace quenda {

// One "path: reason" line per failure, the first `shown` of them and a line for the rest.
QString failureListText(const std::vector<ItemFailure> &failures, int shown = 20);

} // namespace quenda
