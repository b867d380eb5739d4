#include "notes/NoteText.h"

#include <array>

namespace zez {
namespace {

// Windows-1252 bytes 0x80..0x9F; 0 where the set defines no character.
constexpr std::array<char32_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t FromByte(uint8_t b) {
    if (b >= 0x80 && b <= 0x9F) return kHigh[b - 0x80] ? kHigh[b - 0x80] : U'?';
    return b;
}

// The byte for `c`, or 0 when the set cannot hold it.
uint8_t ToByte(char32_t c) {
    if (c == 0) return 0;
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<uint8_t>(c);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == c) return static_cast<uint8_t>(0x80 + i);
    return 0;
}

}  // namespace

std::u32string DecodeNote(const NoteBytes& bytes) {
    std::u32string text;
    for (std::size_t i = 0; i < bytes.size() && bytes[i] != 0; ++i) {
        const uint8_t b = bytes[i];
        if (b == '\r') {
            text.push_back(U'\n');
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            text.push_back(b == '\n' ? U'\n' : FromByte(b));
        }
    }
    return text;
}

NoteBytes EncodeNote(std::u32string_view text) {
    NoteBytes bytes{};
    std::size_t n = 0;
    auto put = [&](uint8_t b) {
        if (n < bytes.size()) bytes[n++] = b;
    };
    for (char32_t c : text) {
        if (c == U'\n') {
            put('\r');
            put('\n');
        } else {
            const uint8_t b = ToByte(c);
            put(b ? b : static_cast<uint8_t>('?'));
        }
    }
    return bytes;
}

std::u32string Storable(std::u32string_view text) {
    std::u32string out(text);
    for (char32_t& c : out)
        if (c != U'\n' && ToByte(c) == 0) c = U'?';
    return out;
}

int NoteLength(std::u32string_view text) {
    int n = 0;
    for (char32_t c : text) n += c == U'\n' ? 2 : 1;
    return n;
}

std::u32string CutNote(std::u32string_view text, int limit) {
    int n = 0;
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        const int w = text[i] == U'\n' ? 2 : 1;
        if (n + w > limit) break;
        n += w;
    }
    return std::u32string(text.substr(0, i));
}

}  // namespace zez
