// What the system's error codes mean, in the system's own words.
#pragma once

#include <string>

namespace zarnex {

// Empty when the system has no words for the code.
std::string SystemErrorText(int code);

// Another program holds the file: its lock (or share mode) keeps this one out.
bool IsLockConflict(int code);

}  // namespace zarnex
