// Names inside archives are Windows-1251 bytes; names on disk and on screen are UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace zarnex {

// Bytes of Windows-1251 text (std::string used as a byte string).
using AnsiString = std::string;

unsigned char LowerAnsiChar(unsigned char c);
unsigned char UpperAnsiChar(unsigned char c);
AnsiString LowerAnsi(std::string_view text);
AnsiString UpperAnsi(std::string_view text);

// False when the input is not valid UTF-8 or holds a character without a Windows-1251 form;
// `out` is then left empty.
bool Utf8ToAnsi(std::string_view utf8, AnsiString& out);

// False when the text holds the one byte (0x98) that Windows-1251 leaves undefined.
bool AnsiToUtf8(std::string_view ansi, std::string& out);

// For display only: undefined bytes become U+FFFD.
std::string AnsiToUtf8Lossy(std::string_view ansi);

// Well-formed UTF-8: no overlong forms, surrogates or cut sequences.
bool IsUtf8(std::string_view text);
// UTF-16 bytes in the given order as UTF-8; false for an odd byte at the end or half a surrogate
// pair, and `out` is then left empty.
bool Utf16ToUtf8(std::string_view bytes, bool bigEndian, std::string& out);

}  // namespace zarnex
