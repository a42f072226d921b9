// The error codes that tests inject and expect, in the numbering of the system they run on:
// errno values, or the Win32 codes that GetLastError gives.
#pragma once

#ifndef _WIN32
#include <cerrno>
#endif

namespace zarnex::test {

#ifdef _WIN32
inline constexpr int DiskFull = 112;     // ERROR_DISK_FULL
inline constexpr int DiskFullToo = 39;   // ERROR_HANDLE_DISK_FULL
inline constexpr int IoFailure = 1117;   // ERROR_IO_DEVICE
inline constexpr int ReadFailure = 30;   // ERROR_READ_FAULT
inline constexpr int AccessDenied = 5;   // ERROR_ACCESS_DENIED
inline constexpr int LockHeld = 32;      // ERROR_SHARING_VIOLATION
inline constexpr int NoSuchFile = 2;     // ERROR_FILE_NOT_FOUND
inline constexpr int NoSuchFolder = 3;   // ERROR_PATH_NOT_FOUND
inline constexpr int AlreadyThere = 80;  // ERROR_FILE_EXISTS
#else
inline constexpr int DiskFull = ENOSPC;
inline constexpr int DiskFullToo = EDQUOT;
inline constexpr int IoFailure = EIO;
inline constexpr int ReadFailure = ENXIO;
inline constexpr int AccessDenied = EACCES;
inline constexpr int LockHeld = EWOULDBLOCK;
inline constexpr int NoSuchFile = ENOENT;
inline constexpr int NoSuchFolder = ENOENT;  // a path through a missing folder
inline constexpr int AlreadyThere = EEXIST;
#endif

}  // namespace zarnex::test
