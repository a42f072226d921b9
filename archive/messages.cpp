#include "archive/messages.h"

#include "platform/file.h"

namespace zarnex {

void ShowBox(MessageBoxes& boxes, std::string text, MessageIcon icon, MessageButtons buttons,
             const char* title, bool taskModal) {
    boxes.Show({std::move(text), title, icon, buttons, taskModal});
}

namespace {
std::string OpenFailureText(const std::string& path, int code) {
    return "Не удаётся открыть файл: \n\n" + path + "\n\nI/O error: " + std::to_string(code);
}
}  // namespace

void ReportArchiveOpenFailure(MessageBoxes& boxes, const std::string& path, int code) {
    ShowBox(boxes, OpenFailureText(path, code), MessageIcon::Error);
}

void ReportSourceOpenFailure(MessageBoxes& boxes, const std::string& path, int code) {
    ShowBox(boxes, OpenFailureText(path, code), MessageIcon::Warning);
}

void ReportOutOfMemory(MessageBoxes& boxes) {
    ShowBox(boxes, "Недостаточно памяти для обработки IMG архива", MessageIcon::Error);
}

void ReportIoFailure(MessageBoxes& boxes, int code) {
    ShowBox(boxes, IsDiskFull(code) ? "На диске не хватает места" : "I/O error",
            MessageIcon::Error);
}

}  // namespace zarnex
