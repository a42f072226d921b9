// The wording of check's problems: a line each, naming the entries by index and name.
#pragma once

#include <string>

#include "archive/check.h"

namespace zarnex::cli {

std::string DescribeProblem(const ArchiveCheck& check, const std::string& archivePath,
                            const Problem& problem);

}  // namespace zarnex::cli
