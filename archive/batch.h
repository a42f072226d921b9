// What every batch reports, whatever it does to an archive: its progress while it runs and how it
// ended, so that each front end says it in one place.
#pragma once

#include <functional>

namespace zarnex {

// `done` of `total` steps; a batch whose total only it knows tells it with the first report.
using Progress = std::function<void(int done, int total)>;

enum class BatchEnd {
    Done,    // ran to its end and did everything asked
    Partly,  // ran to its end, but something was skipped, refused or not found
    NotRun,  // did not run, or stopped: nothing more can be said of the rest
};

struct BatchOutcome {
    BatchEnd end = BatchEnd::NotRun;
    int done = 0;   // what the batch did, in its own items
    int total = 0;  // what it was asked to do, in the same items
    int error = 0;  // the system's code of the failure that stopped it; 0 when none did

    bool RanToEnd() const { return end != BatchEnd::NotRun; }
    // After a run to the end: Partly when anything of `total` was not done wholly.
    void Ended(bool whole) { end = whole ? BatchEnd::Done : BatchEnd::Partly; }
};

}  // namespace zarnex
