// The editor's own edits as the desktop makes them: a palette picture dropped on a segment, an
// input chosen from the list, a paste with what it pasted, and the bytes a save writes over an
// existing file.

#include "wasm/Api.h"

#include <emscripten/bind.h>

#include <span>
#include <string>

#include "config/SegmentEdits.h"

namespace zez::wasm {

using emscripten::val;

namespace {

std::span<const uint8_t> Span(const std::string& bytes) {
    return {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
}

// The picture's code replaces the segment's; its input selection stays as it was, whatever it is.
val Drop(const std::string& cdf, int output, int seg, int code) {
    Config c = ConfigOf(cdf);
    c.SegType[Output(output)][Segment(seg)] = static_cast<int16_t>(Value(code, "segment code"));
    return CdfOf(c);
}

// The input list's choice: the segment's selection, whatever its code (a code above 15 shows its
// selection too).
val SetInput(const std::string& cdf, int output, int seg, int input) {
    Config c = ConfigOf(cdf);
    c.SegInput[Output(output)][Segment(seg)] = static_cast<int16_t>(Value(input, "input"));
    return CdfOf(c);
}

// The clip pasted with its top-left at `seg`: the record, the pasted rectangle's corner segments
// (`first`, `last`: clipped at the grid's edge) and how many of the pasted segments hold values
// outside 0..15 (`invalid`, as the paste's warning counts them).
val Paste(const std::string& cdf, int output, int seg, const std::string& clip) {
    const auto parsed = ClipFromText(clip);
    if (!parsed) Throw("The clipboard holds no diagram segments.", ErrorKind::Usage);
    Config c = ConfigOf(cdf);
    const Pasted pasted = PasteClip(c, Output(output), Segment(seg), *parsed);
    val out = val::object();
    out.set("cdf", CdfOf(c));
    out.set("first", kSegmentColumns * pasted.rect.top + pasted.rect.left);
    out.set("last", kSegmentColumns * pasted.rect.bottom + pasted.rect.right);
    out.set("invalid", pasted.invalid);
    return out;
}

val SaveOver(const std::string& cdf, const std::string& existing) {
    const auto bytes = CdfOver(ConfigOf(cdf), Span(existing));
    return Bytes(bytes.data(), bytes.size());
}

}  // namespace

EMSCRIPTEN_BINDINGS(zezudi_editing) {
    Bind<&Drop>("drop");
    Bind<&SetInput>("setInput");
    Bind<&Paste>("paste");
    Bind<&SaveOver>("saveOver");
}

}  // namespace zez::wasm
