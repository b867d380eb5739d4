#pragma once
// Edits on rectangles of one output's 16 x 16 segments: what copy, paste, delete, the row
// commands and the editing keys do to the record. Each is a plain change of SegType and SegInput;
// the editor wraps each in one undo step.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/Config.h"
#include "config/Result.h"

namespace zez {

inline constexpr int kSegmentRows = 16;

// Rows and columns 0..15, both corners included.
struct SegRect {
    int top = 0, left = 0, bottom = 0, right = 0;
    static SegRect Spanning(int segA, int segB);  // the rectangle with both segments as corners
    static SegRect Whole() { return {0, 0, kSegmentRows - 1, kSegmentColumns - 1}; }
    bool Contains(int seg) const;
    int Rows() const { return bottom - top + 1; }
    int Columns() const { return right - left + 1; }
    bool operator==(const SegRect&) const = default;
};

// A copied rectangle: types and selections row by row.
struct Clip {
    int rows = 0, columns = 0;
    std::vector<int16_t> types, inputs;
    bool operator==(const Clip&) const = default;
};

// What a paste did: the segments it wrote (the clip clipped at the grid's edge) and how many of
// them hold a value outside 0..15, which the paste's warning counts.
struct Pasted {
    SegRect rect;
    int invalid = 0;
};

Clip CopyRect(const Config& config, int output, SegRect r);
// Writes `clip` with its top-left segment at `seg`; what falls outside the grid is left out.
Pasted PasteClip(Config& config, int output, int seg, const Clip& clip);
// Blank segments (type 0); the selections stay as they were, as a blanking drop leaves them.
void BlankRect(Config& config, int output, SegRect r);
// Moves `row` and the rows below it down by one. The last row must be blank (no code 1..15 and
// nothing outside 0..15), else nothing changes and the error says why.
Result<void> InsertRow(Config& config, int output, int row);
// Moves the rows below `row` up by one; the last row becomes blank (types 0, selections 0).
void DeleteRow(Config& config, int output, int row);

// Keyboard edits of one segment code. The links stay; a code outside 0..15 counts as blank.
int WithElement(int code, Element element);
int WithLinkToggled(int code, int link);

// The clipboard forms: the project's own (exact, parsed back by ClipFromText) and a text a
// person can read (the diagram's symbols, one row a line).
std::string ClipToText(const Clip& clip);
std::optional<Clip> ClipFromText(std::string_view text);
std::string ClipToReadable(const Clip& clip);

}  // namespace zez
