// What a console program meets on Windows beyond its standard streams: a console it may have to
// itself, and other programs' text in the console's code page. Elsewhere a terminal is only a
// terminal, and text is UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace zarnex {

// The program is the only one on its console: Windows opened the console for it (started from
// Explorer, or a file dropped on it) and closes it as soon as the program ends. False elsewhere.
bool HasConsoleOfItsOwn();
// Waits for a key pressed at the console.
void WaitForKey();

// The code page of text that is not UTF-8, read from standard input or from a file: what console
// programs write into a pipe, as cmd's `dir` does, is in the console's code page; a file is in
// the system's ANSI code page, as Notepad saves it. 0 where there is none: on Linux text is UTF-8.
unsigned LegacyCodePage(bool standardInput);
// False when the bytes are not text in that code page.
bool CodePageToUtf8(std::string_view bytes, unsigned codePage, std::string& out);

}  // namespace zarnex
