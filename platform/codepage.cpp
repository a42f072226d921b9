#include "platform/codepage.h"

#include <array>
#include <cstdint>

namespace zarnex {
namespace {

// Unicode of the bytes 0x80..0xFF; 0 marks the undefined 0x98.
constexpr std::array<char16_t, 128> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  // D8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  // F8
};

// Capital -> small pairs outside A-Z and the regular block 0xC0-0xDF.
constexpr std::array<std::array<unsigned char, 2>, 15> kCasePairs = {{
    {0x80, 0x90},
    {0x81, 0x83},
    {0x8A, 0x9A},
    {0x8C, 0x9C},
    {0x8D, 0x9D},
    {0x8E, 0x9E},
    {0x8F, 0x9F},
    {0xA1, 0xA2},
    {0xA3, 0xBC},
    {0xA5, 0xB4},
    {0xA8, 0xB8},
    {0xAA, 0xBA},
    {0xAF, 0xBF},
    {0xB2, 0xB3},
    {0xBD, 0xBE},
}};

struct CaseTables {
    std::array<unsigned char, 256> lower{};
    std::array<unsigned char, 256> upper{};
    CaseTables() {
        for (int c = 0; c < 256; ++c) {
            lower[c] = upper[c] = static_cast<unsigned char>(c);
        }
        auto pair = [this](int capital, int small) {
            lower[capital] = static_cast<unsigned char>(small);
            upper[small] = static_cast<unsigned char>(capital);
        };
        for (int c = 'A'; c <= 'Z'; ++c) {
            pair(c, c + 0x20);
        }
        for (int c = 0xC0; c <= 0xDF; ++c) {
            pair(c, c + 0x20);
        }
        for (const auto& p : kCasePairs) {
            pair(p[0], p[1]);
        }
    }
};

const CaseTables& Tables() {
    static const CaseTables tables;
    return tables;
}

int AnsiForCodePoint(char32_t cp) {
    if (cp < 0x80) {
        return static_cast<int>(cp);
    }
    if (cp >= 0x0410 && cp <= 0x044F) {
        return static_cast<int>(cp - 0x0410 + 0xC0);
    }
    for (int i = 0; i < 128; ++i) {
        if (kHigh[i] != 0 && kHigh[i] == cp) {
            return 0x80 + i;
        }
    }
    return -1;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 character at text[i]; returns its length, or 0 when the bytes are not
// well-formed (overlong forms, surrogates and truncated sequences included).
size_t DecodeUtf8(std::string_view text, size_t i, char32_t& cp) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char b = byte(i);
    size_t len;
    char32_t min;
    if (b < 0x80) {
        cp = b;
        return 1;
    } else if ((b & 0xE0) == 0xC0) {
        len = 2, cp = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        len = 3, cp = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        len = 4, cp = b & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > text.size()) {
        return 0;
    }
    for (size_t k = 1; k < len; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return len;
}

}  // namespace

unsigned char LowerAnsiChar(unsigned char c) {
    return Tables().lower[c];
}

unsigned char UpperAnsiChar(unsigned char c) {
    return Tables().upper[c];
}

AnsiString LowerAnsi(std::string_view text) {
    AnsiString out(text);
    for (auto& c : out) {
        c = static_cast<char>(LowerAnsiChar(static_cast<unsigned char>(c)));
    }
    return out;
}

AnsiString UpperAnsi(std::string_view text) {
    AnsiString out(text);
    for (auto& c : out) {
        c = static_cast<char>(UpperAnsiChar(static_cast<unsigned char>(c)));
    }
    return out;
}

bool Utf8ToAnsi(std::string_view utf8, AnsiString& out) {
    out.clear();
    AnsiString result;
    result.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp;
        size_t len = DecodeUtf8(utf8, i, cp);
        int ansi = len ? AnsiForCodePoint(cp) : -1;
        if (ansi < 0) {
            return false;
        }
        result += static_cast<char>(ansi);
        i += len;
    }
    out = std::move(result);
    return true;
}

bool AnsiToUtf8(std::string_view ansi, std::string& out) {
    out.clear();
    std::string result;
    result.reserve(ansi.size() * 2);
    for (char ch : ansi) {
        auto c = static_cast<unsigned char>(ch);
        char32_t cp = c < 0x80 ? c : kHigh[c - 0x80];
        if (cp == 0 && c != 0) {
            return false;
        }
        AppendUtf8(result, cp);
    }
    out = std::move(result);
    return true;
}

std::string AnsiToUtf8Lossy(std::string_view ansi) {
    std::string out;
    for (char ch : ansi) {
        auto c = static_cast<unsigned char>(ch);
        char32_t cp = c < 0x80 ? c : kHigh[c - 0x80];
        AppendUtf8(out, (cp == 0 && c != 0) ? char32_t{0xFFFD} : cp);
    }
    return out;
}

bool IsUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        char32_t cp;
        const size_t length = DecodeUtf8(text, i, cp);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

bool Utf16ToUtf8(std::string_view bytes, bool bigEndian, std::string& out) {
    out.clear();
    if (bytes.size() % 2 != 0) {
        return false;
    }
    auto unit = [&](size_t i) -> char32_t {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (first << 8 | second) : (second << 8 | first);
    };
    std::string result;
    result.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); i += 2) {
        char32_t cp = unit(i);
        if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return false;
        }
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            const char32_t low = i + 3 < bytes.size() ? unit(i + 2) : 0;
            if (low < 0xDC00 || low > 0xDFFF) {
                return false;
            }
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        AppendUtf8(result, cp);
    }
    out = std::move(result);
    return true;
}

}  // namespace zarnex
