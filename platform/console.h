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

// The code page of text that is not UTF-8 (0 where there are none: on Linux text is UTF-8). Notepad
// saves in the system's ANSI code page, cmd's `dir` writes into a pipe or a file in the console's
// (866 beside 1251 on a Russian Windows): of the two, the one in which more of the text reads as
// letters; where neither does better, the console's for standard input, else the ANSI one.
unsigned LegacyCodePage(std::string_view text, bool standardInput);
// False when the bytes are not text in that code page.
bool CodePageToUtf8(std::string_view bytes, unsigned codePage, std::string& out);

}  // namespace zarnex
