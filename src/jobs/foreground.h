#pragma once
// The command line's way to run a job body: on the calling thread, with Ctrl+C as Cancel.
// Failures are printed to stderr as "path: reason" lines once the body returns; progress goes
// to stderr too, but only when stderr is a terminal, so scripts and pipes see clean output.

#include "jobs/job_control.h"

#include <QTextStream>

#include <functional>

namespace quenda {

// What a cancelled run prints after its failures. A job that lands whole or not at all keeps
// nothing when it is cancelled, and its caller says so itself.
enum class CancelNote { WhatWasDoneIsKept, SaidByCaller };

JobReport runInForeground(const std::function<void(JobControl &)> &body, QTextStream &err,
                          CancelNote cancelNote = CancelNote::WhatWasDoneIsKept);

// The lines runInForeground prints for a report: each failure, then a fault that stopped it.
void printFailures(const JobReport &report, QTextStream &err);

} // namespace quenda
