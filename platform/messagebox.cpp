#include "platform/messagebox.h"

namespace zarnex {

const char* IconName(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Error:
            return "error";
        case MessageIcon::Warning:
            return "warning";
        case MessageIcon::Question:
            return "question";
        case MessageIcon::Information:
            return "information";
        case MessageIcon::None:
            break;
    }
    return "none";
}

}  // namespace zarnex
