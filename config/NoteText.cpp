#include "config/NoteText.h"

#include <algorithm>
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

NoteEdit::Form NoteEdit::FormOf(char32_t c) {
    if (c == U'\n') return {'\r', '\n'};
    const uint8_t b = ToByte(c);
    return {b ? b : static_cast<uint8_t>('?'), 0};
}

NoteEdit::NoteEdit(const NoteBytes& bytes) {
    for (std::size_t i = 0; i < bytes.size() && bytes[i] != 0; ++i) {
        const uint8_t b = bytes[i];
        if (b == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            text_.push_back(U'\n');
            forms_.push_back({b, bytes[++i]});
        } else {
            text_.push_back(b == '\r' || b == '\n' ? U'\n' : FromByte(b));
            forms_.push_back({b, 0});
        }
        stored_ += forms_.back().Size();
    }
}

bool NoteEdit::Update(std::u32string_view text) {
    const std::size_t most = std::min(text.size(), text_.size());
    std::size_t head = 0;
    while (head < most && text[head] == text_[head]) ++head;
    std::size_t tail = 0;
    while (tail < most - head && text[text.size() - 1 - tail] == text_[text_.size() - 1 - tail])
        ++tail;
    if (head == text.size() && head == text_.size()) return false;

    const std::size_t oldEnd = text_.size() - tail;
    std::vector<Form> forms(forms_.begin(), forms_.begin() + static_cast<std::ptrdiff_t>(head));
    std::u32string kept(text.substr(0, head));
    for (std::size_t i = head; i < text.size() - tail; ++i) {
        const Form f = FormOf(text[i]);
        forms.push_back(f);
        kept.push_back(f.second || f.first != '?' ? text[i] : U'?');
    }
    forms.insert(forms.end(), forms_.begin() + static_cast<std::ptrdiff_t>(oldEnd), forms_.end());
    kept.append(text_, oldEnd, std::u32string::npos);
    text_ = std::move(kept);
    forms_ = std::move(forms);
    stored_ = 0;
    for (const Form& f : forms_) stored_ += f.Size();
    return true;
}

bool NoteEdit::Cut(int limit) {
    if (stored_ <= limit) return false;
    int n = 0;
    std::size_t i = 0;
    for (; i < forms_.size() && n + forms_[i].Size() <= limit; ++i) n += forms_[i].Size();
    text_.resize(i);
    forms_.resize(i);
    stored_ = n;
    return true;
}

NoteBytes NoteEdit::Bytes() const {
    NoteBytes bytes{};
    std::size_t n = 0;
    for (const Form& f : forms_) {
        if (n < bytes.size()) bytes[n++] = f.first;
        if (f.second && n < bytes.size()) bytes[n++] = f.second;
    }
    return bytes;
}

}  // namespace zez
