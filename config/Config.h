#pragma once
// The configuration record: eight 16 x 16 ladder diagrams and a note.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zez {

inline constexpr int kOutputs = 8;
inline constexpr int kSegments = 256;
inline constexpr int kSegmentColumns = 16;
inline constexpr int kNoteBytes = 4096;
inline constexpr std::size_t kTableBytes = 2 * kOutputs * kSegments;    // 4096
inline constexpr std::size_t kCdfBytes = 2 * kTableBytes + kNoteBytes;  // 12,288

// Indexed [output][segment].
using SegTable = std::array<std::array<int16_t, kSegments>, kOutputs>;
using NoteBytes = std::array<uint8_t, kNoteBytes>;

struct Config {
    SegTable SegType{};
    SegTable SegInput{};
    NoteBytes NoteData{};

    void Clear() { *this = Config{}; }
    bool operator==(const Config&) const = default;
};

// One output's diagram: its segments' types and inputs.
struct OutputSegments {
    std::array<int16_t, kSegments> types{}, inputs{};
};

// Segment type code = 4 * element + link.
enum class Element : int { None = 0, Wire = 1, NormallyOpen = 2, NormallyClosed = 3 };
inline constexpr int kLinkUp = 1;
inline constexpr int kLinkDown = 2;

constexpr bool IsValidCode(int code) {
    return code >= 0 && code <= 15;
}
constexpr Element ElementOf(int code) {
    return static_cast<Element>((code >> 2) & 3);
}
constexpr bool HasLinkUp(int code) {
    return IsValidCode(code) && (code & kLinkUp) != 0;
}
constexpr bool HasLinkDown(int code) {
    return IsValidCode(code) && (code & kLinkDown) != 0;
}
constexpr bool IsContact(int code) {
    return code >= 8 && code <= 15;
}
// Every valid code but 0 has a centre (junction) that conducts.
constexpr bool HasCentre(int code) {
    return code >= 1 && code <= 15;
}
constexpr int MakeCode(Element e, int link) {
    return 4 * static_cast<int>(e) + link;
}

// Input selection: 0..7 are inputs 1..8, 8..15 pilots 1..8; also the bit in an input-state word.
constexpr bool IsValidSelection(int sel) {
    return sel >= 0 && sel <= 15;
}

// Whether a contact with this selection is closed for the input-state word. A selection outside
// 0..15 names no signal: a normally-open contact on it stays open, a normally-closed one closed.
constexpr bool ContactClosed(int code, int sel, int32_t inputs) {
    const bool on = IsValidSelection(sel) && ((inputs >> sel) & 1) != 0;
    return ElementOf(code) == Element::NormallyOpen ? on : !on;
}

// "I 3", "P 1"; "?" for a selection that names no signal.
std::string InputLabel(int sel);
// "I3", "P1": the test panel's and the command line's names; "?" when invalid.
std::string SignalName(int sel);
// The selection of the signal name (I1..I8, P1..P8, either case) that stands at `pos` of `text`,
// not followed by a letter or digit; -1 when there is none.
int SignalAt(std::string_view text, std::size_t pos);

constexpr int SegColumn(int seg) {
    return seg % kSegmentColumns;
}
constexpr int SegRow(int seg) {
    return seg / kSegmentColumns;
}
// Position of (output, segment) in a file table: the output varies fastest.
constexpr int FlatPosition(int output, int seg) {
    return output + kOutputs * seg;
}

// The note as text: the bytes up to the first zero.
std::string NoteText(const NoteBytes& note);

struct InvalidCounts {
    int types = 0;     // SegType values outside 0..15
    int inputs = 0;    // SegInput values outside 0..15
    int segments = 0;  // segments holding at least one such value
    bool any() const { return segments != 0; }
};
InvalidCounts CountInvalid(const Config& config);

}  // namespace zez
