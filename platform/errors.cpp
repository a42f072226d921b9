#include "platform/errors.h"

#include <cerrno>
#include <cstring>

namespace zarnex {

std::string SystemErrorText(int code) {
    if (code == 0) {
        return {};
    }
    char buffer[256] = {};
    // The GNU form: the words may be a static text rather than the buffer.
    return ::strerror_r(code, buffer, sizeof buffer);
}

bool IsLockConflict(int code) {
    return code == EWOULDBLOCK || code == EAGAIN;
}

bool IsAlreadyThere(int code) {
    return code == EEXIST;
}

const int ErrorFolderInTheWay = EISDIR;
const int ErrorNotAFile = EINVAL;
const int ErrorInputOutput = EIO;
const int ErrorClosedFile = EBADF;
const int ErrorBadPosition = EINVAL;
const int ErrorTooLong = EFBIG;

}  // namespace zarnex
