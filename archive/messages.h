// The boxes the batches show, built from their fixed pieces.
#pragma once

#include <string>

#include "platform/messagebox.h"

namespace zarnex {

void ShowBox(MessageBoxes& boxes, std::string text, MessageIcon icon,
             MessageButtons buttons = MessageButtons::Ok, const char* title = "Zarnex",
             bool taskModal = true);

// "Не удаётся открыть файл: \n\n<path>\n\nI/O error: <code>", error icon.
void ReportArchiveOpenFailure(MessageBoxes& boxes, const std::string& path, int code);
// The same text with a warning icon: the batch goes on with the next file.
void ReportSourceOpenFailure(MessageBoxes& boxes, const std::string& path, int code);

// "На диске не хватает места" for a full disk, else "I/O error"; error icon.
void ReportIoFailure(MessageBoxes& boxes, int code);

// An allocation failed: the batch ends with this error box instead of an abort.
void ReportOutOfMemory(MessageBoxes& boxes);

}  // namespace zarnex
