// The module's JavaScript API: the record, its edits, evaluation, compile and analysis
// (ApiTransfers.cpp: the emulated device and the transfers; Api.h: what both share).

#include "wasm/Api.h"

#include <emscripten/bind.h>

#include <array>
#include <chrono>
#include <string>
#include <vector>

#include "compiler/Compiler.h"
#include "compiler/LogicGrid.h"
#include "config/ConfigText.h"
#include "config/DiagramText.h"
#include "config/NoteText.h"
#include "config/Rewire.h"
#include "config/SegmentEdits.h"
#include "device/Protocol.h"
#include "logic/Layout.h"

namespace zez::wasm {

using emscripten::val;

namespace {

// The kind's name in JavaScript, in the order of ErrorKind.
constexpr std::array<const char*, 4> kKindNames = {"data", "file", "device", "usage"};

std::span<const uint8_t> Span(const std::string& bytes) {
    return {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
}

}  // namespace

void Throw(const std::string& message, ErrorKind kind) {
    throw Failure{message, kind};
}

void Report(const Failure& failure) {
    val::module_property("zezFailed")(
        failure.message, std::string(kKindNames.at(static_cast<std::size_t>(failure.kind))));
}

val Bytes(const uint8_t* data, std::size_t n) {
    return val::global("Uint8Array").new_(emscripten::typed_memory_view(n, data));
}

val CdfOf(const Config& config) {
    const CdfBytes bytes = SerializeCdf(config);
    return Bytes(bytes.data(), bytes.size());
}

Config ConfigOf(const std::string& cdf) {
    return Take(ParseCdf(Span(cdf)));
}

void RefuseUnlessConfiguration(const std::string& cdf, bool force, const std::string& name,
                               const char* nothing) {
    if (force) return;
    if (const auto refused = RefusedAsConfiguration(Span(cdf), cdf.size(), name))
        Throw(*refused + "; " + nothing, ErrorKind::Usage);
}

// Outputs are 0..7 here; the message counts them 1..8, as the command line does.
int Output(int output) {
    if (output < 0 || output >= kOutputs)
        Throw(OutputOutOfRange(std::to_string(static_cast<long long>(output) + 1)),
              ErrorKind::Usage);
    return output;
}

// A segment code or an input selection: 0..15.
int Value(int value, const char* what) {
    if (!IsValidCode(value))
        Throw(std::string("There is no ") + what + " " + std::to_string(value) + ".",
              ErrorKind::Usage);
    return value;
}

// Segments are 0..255 row by row, rows 0..15: what lies outside is a caller's mistake.
int Segment(int seg) {
    if (seg < 0 || seg >= kSegments)
        Throw("There is no segment " + std::to_string(seg) + ".", ErrorKind::Usage);
    return seg;
}

int Row(int row) {
    if (row < 0 || row >= kSegmentRows)
        Throw("There is no row " + std::to_string(row) + ".", ErrorKind::Usage);
    return row;
}

namespace {

// --- the record ---

val CheckCdf(const std::string& cdf) {
    const InvalidCounts invalid = CountInvalid(ConfigOf(cdf));
    val out = val::object();
    out.set("types", invalid.types);
    out.set("inputs", invalid.inputs);
    out.set("segments", invalid.segments);
    return out;
}

// A file's bytes as the editor's Open takes them: its message names the file as `name`.
val OpenCdf(const std::string& bytes, const std::string& name) {
    const Config c = Take(ParseCdf(Span(bytes), "\"" + name + "\""));
    const InvalidCounts invalid = CountInvalid(c);
    val counts = val::object();
    counts.set("types", invalid.types);
    counts.set("inputs", invalid.inputs);
    counts.set("segments", invalid.segments);
    val out = val::object();
    out.set("cdf", CdfOf(c));
    out.set("invalid", counts);
    const auto looks = NotAConfiguration(Span(bytes), bytes.size(), false);
    out.set("looksLike", looks ? val(*looks) : val::null());
    return out;
}

std::string ToText(const std::string& cdf) {
    return ConfigToText(ConfigOf(cdf));
}

val FromText(const std::string& text) {
    return CdfOf(Take(ConfigFromText(text, [](const std::string& f) { return DrawFormula(f); })));
}

// A file's bytes in either form, as Compare With File reads them; failures name the file.
val ReadEither(const std::string& bytes, const std::string& name) {
    return CdfOf(Take(ConfigFromFileBytes(bytes, "\"" + name + "\"",
                                          [](const std::string& f) { return DrawFormula(f); })));
}

bool LooksLikeText(const std::string& bytes) {
    return LooksLikeConfigText(bytes);
}

val SegmentAt(const std::string& cdf, int output, int seg) {
    const Config c = ConfigOf(cdf);
    const auto s = static_cast<std::size_t>(Segment(seg));
    val out = val::object();
    out.set("code", c.SegType[Output(output)][s]);
    out.set("input", c.SegInput[output][s]);
    return out;
}

val SetSegment(const std::string& cdf, int output, int seg, int code, int input) {
    Config c = ConfigOf(cdf);
    const auto s = static_cast<std::size_t>(Segment(seg));
    c.SegType[Output(output)][s] = static_cast<int16_t>(Value(code, "segment code"));
    c.SegInput[output][s] = static_cast<int16_t>(Value(input, "input"));
    return CdfOf(c);
}

SegRect Rect(int segA, int segB) {
    return SegRect::Spanning(Segment(segA), Segment(segB));
}

std::string CopyRegion(const std::string& cdf, int output, int segA, int segB) {
    return ClipToText(CopyRect(ConfigOf(cdf), Output(output), Rect(segA, segB)));
}

val PasteRegion(const std::string& cdf, int output, int seg, const std::string& clip) {
    const auto parsed = ClipFromText(clip);
    if (!parsed) Throw("The clipboard holds no diagram segments.", ErrorKind::Usage);
    Config c = ConfigOf(cdf);
    PasteClip(c, Output(output), Segment(seg), *parsed);
    return CdfOf(c);
}

std::string ReadableRegion(const std::string& cdf, int output, int segA, int segB) {
    return ClipToReadable(CopyRect(ConfigOf(cdf), Output(output), Rect(segA, segB)));
}

// The editing keys on every segment of a rectangle, as the diagram editor applies them.
template <class Edit>
val EditRegion(const std::string& cdf, int output, int segA, int segB, Edit edit) {
    Config c = ConfigOf(cdf);
    const SegRect r = Rect(segA, segB);
    for (int s = 0; s < kSegments; ++s)
        if (r.Contains(s)) edit(c.SegType[Output(output)][s], c.SegInput[output][s]);
    return CdfOf(c);
}

val PlaceElement(const std::string& cdf, int output, int segA, int segB, int element) {
    if (element < 0 || element > 3)
        Throw("There is no element " + std::to_string(element) + ".", ErrorKind::Usage);
    return EditRegion(cdf, output, segA, segB, [element](int16_t& t, int16_t&) {
        t = static_cast<int16_t>(WithElement(t, static_cast<Element>(element)));
    });
}

val ToggleLink(const std::string& cdf, int output, int segA, int segB, int link) {
    if (link != kLinkUp && link != kLinkDown)
        Throw("There is no link " + std::to_string(link) + ".", ErrorKind::Usage);
    return EditRegion(cdf, output, segA, segB, [link](int16_t& t, int16_t&) {
        t = static_cast<int16_t>(WithLinkToggled(t, link));
    });
}

val ChooseInput(const std::string& cdf, int output, int segA, int segB, int input) {
    const auto sel = static_cast<int16_t>(Value(input, "input"));
    return EditRegion(cdf, output, segA, segB, [sel](int16_t& t, int16_t& in) {
        if (IsContact(t)) in = sel;
    });
}

val BlankRegion(const std::string& cdf, int output, int segA, int segB) {
    Config c = ConfigOf(cdf);
    BlankRect(c, Output(output), Rect(segA, segB));
    return CdfOf(c);
}

val InsertDiagramRow(const std::string& cdf, int output, int row) {
    Config c = ConfigOf(cdf);
    Take(InsertRow(c, Output(output), Row(row)));
    return CdfOf(c);
}

val DeleteDiagramRow(const std::string& cdf, int output, int row) {
    Config c = ConfigOf(cdf);
    DeleteRow(c, Output(output), Row(row));
    return CdfOf(c);
}

val Rewire(const std::string& cdf, const std::string& moves, unsigned outputs) {
    Config c = ConfigOf(cdf);
    const auto moved = RewireContacts(c, Take(ParseSignalMap(moves)), outputs);
    val out = val::object();
    out.set("cdf", CdfOf(c));
    out.set("moved", val::array(moved.begin(), moved.end()));
    return out;
}

// --- the note ---
std::wstring Note(const std::string& cdf) {
    const NoteEdit note(ConfigOf(cdf).NoteData);
    return {note.Text().begin(), note.Text().end()};
}

// The note's rules: the window's text stored as the record stores it, cut to what fits.
val SetNote(const std::string& cdf, const std::wstring& text) {
    Config c = ConfigOf(cdf);
    NoteEdit edit(c.NoteData);
    edit.Update(std::u32string(text.begin(), text.end()));
    const bool cut = edit.Cut();
    c.NoteData = edit.Bytes();
    val out = val::object();
    out.set("cdf", CdfOf(c));
    out.set("cut", cut);
    out.set("length", edit.Length());
    return out;
}

// --- evaluation, compile, analysis ---

// Whether the output is on for `inputs` (bit n: I1..I8, then P1..P8), with the grid's cells
// (36 x 50, row by row: 0 empty, 1 conductor, 2 energised) for drawing the energised path.
val Evaluate(const std::string& cdf, int output, int inputs) {
    LogicGrid grid;
    grid.bUseMem = true;
    grid.LogicLoadMem(ConfigOf(cdf), Output(output), inputs);
    grid.LogicTestMem();
    val out = val::object();
    out.set("on", grid.ResultOnMem());
    out.set("cells",
            val::global("Int16Array")
                .new_(emscripten::typed_memory_view(grid.iGrid.size(), grid.iGrid.data())));
    out.set("width", kGridW);
    out.set("height", kGridH);
    return out;
}

// What the desktop's Test shows: on or off and, per segment, the parts that carried the supply
// (bit 1 the element, 2 the junction, 4 the link up, 8 the link down).
val TestSegments(const std::string& cdf, int output, int inputs) {
    const TestResult r = TestOutput(ConfigOf(cdf), Output(output), inputs);
    std::array<uint8_t, kSegments> parts{};
    for (std::size_t s = 0; s < parts.size(); ++s) {
        const Energised& e = r.segments[s];
        parts[s] = static_cast<uint8_t>(e.element | e.junction << 1 | e.up << 2 | e.down << 3);
    }
    val out = val::object();
    out.set("on", r.on);
    out.set("segments", Bytes(parts.data(), parts.size()));
    return out;
}

val CompileCdf(const std::string& cdf, bool reference, bool force, const std::string& name) {
    RefuseUnlessConfiguration(cdf, force, name, "nothing was written");
    const Config c = ConfigOf(cdf);
    ControlArray array{};
    Compile(c, array, reference ? Engine::Reference : Engine::Fast);
    device::TransferChecksum sum;
    const auto stream = device::DownloadStream(array, c);
    sum.Add(stream.data(), stream.size());
    val out = val::object();
    out.set("array", Bytes(array.data(), array.size()));
    out.set("checksum", sum.Text());
    return out;
}

// Seconds one compile takes, as the desktop's compile --time measures it.
double TimeCompileCdf(const std::string& cdf, bool reference) {
    ControlArray array{};
    const Config config = ConfigOf(cdf);
    const auto t0 = std::chrono::steady_clock::now();
    Compile(config, array, reference ? Engine::Reference : Engine::Fast);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// The output's 256 codes and input selections as stored, for drawing the grid in one call.
val Segments(const std::string& cdf, int output) {
    const Config c = ConfigOf(cdf);
    const auto& types = c.SegType[Output(output)];
    const auto& inputs = c.SegInput[output];
    val out = val::object();
    out.set(
        "codes",
        val::global("Int16Array").new_(emscripten::typed_memory_view(types.size(), types.data())));
    out.set("inputs", val::global("Int16Array")
                          .new_(emscripten::typed_memory_view(inputs.size(), inputs.data())));
    return out;
}

// The moves as the desktop says them back ("I3=P5, I1<>I2"); throws why text is no moves.
std::string SignalMap(const std::string& moves) {
    return SignalMapText(Take(ParseSignalMap(moves)));
}

}  // namespace

EMSCRIPTEN_BINDINGS(zezudi) {
    emscripten::function("version",
                         emscripten::optional_override([] { return std::string(ZEZ_VERSION); }));
    Bind<&CheckCdf>("checkCdf");
    Bind<&OpenCdf>("openCdf");
    Bind<&ToText>("toText");
    Bind<&FromText>("fromText");
    Bind<&ReadEither>("readEither");
    Bind<&LooksLikeText>("looksLikeText");
    Bind<&SegmentAt>("segment");
    Bind<&SetSegment>("setSegment");
    Bind<&CopyRegion>("copyRegion");
    Bind<&PasteRegion>("pasteRegion");
    Bind<&BlankRegion>("blankRegion");
    Bind<&ReadableRegion>("readableRegion");
    Bind<&PlaceElement>("placeElement");
    Bind<&ToggleLink>("toggleLink");
    Bind<&ChooseInput>("chooseInput");
    Bind<&InsertDiagramRow>("insertRow");
    Bind<&DeleteDiagramRow>("deleteRow");
    Bind<&Rewire>("rewire");
    Bind<&Segments>("segments");
    Bind<&SignalMap>("signalMap");
    Bind<&Note>("note");
    Bind<&SetNote>("setNote");
    Bind<&Evaluate>("evaluate");
    Bind<&TestSegments>("testSegments");
    Bind<&CompileCdf>("zezCompile");
    Bind<&TimeCompileCdf>("timeCompile");
}

}  // namespace zez::wasm
