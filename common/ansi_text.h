// How a run of "A" text bytes becomes characters, the same on every build:
// UTF-8 where the bytes form it, and any byte that does not start a complete,
// shortest-form UTF-8 sequence taken alone as Windows-1252 (so text written
// in that code page still reads as it did). The layer's GDI and the package's
// Windows-only conversion to UTF-16 both read text through this one header.
#pragma once

#include <cstdint>
#include <cstring>

namespace ansi_text {

// The characters of Windows-1252's bytes 0x80-0x9F; the five bytes it leaves
// undefined keep their own value, as Windows' own conversion does.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The character of one byte read as Windows-1252.
inline uint32_t cp1252(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : byte;
}

// Reads the character that starts at text[*at] (*at < length) and moves *at
// past it: one to four bytes of UTF-8, or one byte of Windows-1252.
inline uint32_t next(const char *text, int length, int *at) {
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text) + *at;
    const int left = length - *at;
    const unsigned char lead = p[0];
    int count = 0;
    uint32_t code = 0, least = 0;
    if (lead < 0x80) {
        *at += 1;
        return lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        count = 2, code = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        count = 3, code = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        count = 4, code = lead & 0x07, least = 0x10000;
    }
    bool whole = count > 0 && count <= left;
    for (int k = 1; whole && k < count; ++k) {
        if ((p[k] & 0xC0) != 0x80) whole = false;
        else code = code << 6 | (p[k] & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if (!whole || code < least || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
        *at += 1;
        return cp1252(lead);
    }
    *at += count;
    return code;
}

// Whether every byte is ASCII (so each byte is its own character).
inline bool all_ascii(const char *text, int length) {
    uint64_t any = 0;
    int i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t eight;
        std::memcpy(&eight, text + i, 8);
        any |= eight;
    }
    for (; i < length; ++i) any |= static_cast<unsigned char>(text[i]);
    return (any & 0x8080808080808080ull) == 0;
}

// Writes the UTF-16 of the text to out (room for length units: never more are
// needed; Unit any 16-bit type) and returns the number of units written.
template <class Unit>
int to_utf16(const char *text, int length, Unit *out) {
    int units = 0;
    for (int at = 0; at < length;) {
        uint32_t code = next(text, length, &at);
        if (code >= 0x10000) {
            code -= 0x10000;
            out[units++] = static_cast<Unit>(0xD800 | code >> 10);
            out[units++] = static_cast<Unit>(0xDC00 | (code & 0x3FF));
        } else {
            out[units++] = static_cast<Unit>(code);
        }
    }
    return units;
}

// Appends the UTF-8 of one character to out (any string type with push_back).
template <class String>
void append_utf8(uint32_t code, String *out) {
    if (code < 0x80) {
        out->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out->push_back(static_cast<char>(0xC0 | code >> 6));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | code >> 12));
        out->push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | code >> 18));
        out->push_back(static_cast<char>(0x80 | (code >> 12 & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

// Appends the UTF-8 of the text to out, so that what is not UTF-8 comes out
// as the characters it stands for.
template <class String>
void to_utf8(const char *text, int length, String *out) {
    for (int at = 0; at < length;) append_utf8(next(text, length, &at), out);
}

}  // namespace ansi_text
