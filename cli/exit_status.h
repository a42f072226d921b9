// The exit statuses of zarnex-cli, which scripts tell apart.
#pragma once

namespace zarnex::cli {

constexpr int ExitDone = 0;
constexpr int ExitPartly = 1;  // ran to its end, but something was skipped, refused or not found
constexpr int ExitUsage = 2;
constexpr int ExitNotRun = 3;  // did not run, or stopped: nothing more can be said of the rest

}  // namespace zarnex::cli
