// The exit statuses of zarnex-cli, which scripts tell apart.
#pragma once

#include "archive/batch.h"

namespace zarnex::cli {

constexpr int ExitDone = 0;
constexpr int ExitPartly = 1;  // ran to its end, but something was skipped, refused or not found
constexpr int ExitUsage = 2;
constexpr int ExitNotRun = 3;  // did not run, or stopped: nothing more can be said of the rest

// Every command's status once it has run.
constexpr int ExitStatusOf(BatchEnd end) {
    switch (end) {
        case BatchEnd::Done:
            return ExitDone;
        case BatchEnd::Partly:
            return ExitPartly;
        case BatchEnd::NotRun:
            break;
    }
    return ExitNotRun;
}

// `unmatched`: what the command line chose before the batch and found nothing for (a pattern
// that matched no entry or file), which makes a whole run partly done.
constexpr int ExitStatusOf(const BatchOutcome& outcome, int unmatched = 0) {
    const bool partly = outcome.end == BatchEnd::Done && unmatched > 0;
    return ExitStatusOf(partly ? BatchEnd::Partly : outcome.end);
}

}  // namespace zarnex::cli
