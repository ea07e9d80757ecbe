#pragma once
// The command line's way to run a job body: on the calling thread, with Ctrl+C as Cancel.
// Failures are printed to stderr as "path: reason" lines once the body returns; progress goes
// to stderr too, but only when stderr is a terminal, so scripts and pipes see clean output.

#include "jobs/job_control.h"

#include <QTextStream>

#include <functional>

namespace quenda {

JobReport runInForeground(const std::function<void(JobControl &)> &body, QTextStream &err);

// The lines runInForeground prints for a report: each failure, then a fault that stopped it.
void printFailures(const JobReport &report, QTextStream &err);

} // namespace quenda
