// What the system's error codes mean, in the system's own words.
#pragma once

#include <string>

namespace zarnex {

// Empty when the system has no words for the code.
std::string SystemErrorText(int code);

// Another program holds the file: its lock (or share mode) keeps this one out.
bool IsLockConflict(int code);
// Something is already there under that name.
bool IsAlreadyThere(int code);

// Codes the engine reports of its own accord, in the system's numbering.
extern const int ErrorFolderInTheWay;  // a folder where a file was to be
extern const int ErrorNotAFile;        // a device, pipe or other non-file
extern const int ErrorInputOutput;     // a read that came back short
extern const int ErrorClosedFile;      // a file used after it was closed
extern const int ErrorBadPosition;     // a negative position
extern const int ErrorTooLong;         // a stream longer than its reader's limit

}  // namespace zarnex
