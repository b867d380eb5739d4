// The module's JavaScript API. A configuration travels as its 12,288 CDF bytes (a Uint8Array),
// so the host keeps the record and every call is a pure function of its arguments. A failure
// throws a ZezError carrying the desktop's message and its kind (api.js).

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <array>
#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "compiler/Compiler.h"
#include "compiler/FastEngine.h"
#include "compiler/LogicGrid.h"
#include "compiler/TruthTable.h"
#include "config/CdfBytes.h"
#include "config/ConfigText.h"
#include "config/DiagramText.h"
#include "config/NoteText.h"
#include "config/Rewire.h"
#include "config/SegmentEdits.h"
#include "device/Emulator.h"
#include "device/Protocol.h"
#include "logic/Checks.h"
#include "logic/Compare.h"
#include "logic/Expression.h"
#include "logic/Layout.h"
#include "logic/SignalUse.h"
#ifdef ZEZ_WASM_TRANSFERS
#include "device/Transfers.h"
#include "wasm/HostPort.h"
#endif

namespace zez::wasm {
namespace {

using emscripten::val;

// The kind's name in JavaScript, in the order of ErrorKind.
constexpr std::array<const char*, 4> kKindNames = {"data", "file", "device", "usage"};

[[noreturn]] void Throw(const std::string& message, ErrorKind kind) {
    val::module_property("ZezError")
        .new_(message, std::string(kKindNames.at(static_cast<std::size_t>(kind))))
        .throw_();
}

template <class T>
T Take(Result<T> r) {
    if (!r) Throw(r.error(), r.kind());
    return std::move(r).value();
}

void Take(const Result<void>& r) {
    if (!r) Throw(r.error(), r.kind());
}

// A copy of `n` bytes as a new Uint8Array.
val Bytes(const uint8_t* data, std::size_t n) {
    return val::global("Uint8Array").new_(emscripten::typed_memory_view(n, data));
}

val CdfOf(const Config& config) {
    const CdfBytes bytes = SerializeCdf(config);
    return Bytes(bytes.data(), bytes.size());
}

Config ConfigOf(const std::string& cdf) {
    return Take(ParseCdf({reinterpret_cast<const uint8_t*>(cdf.data()), cdf.size()}));
}

int Output(int output) {
    if (output < 0 || output >= kOutputs)
        Throw("There is no output " + std::to_string(output + 1) + ".", ErrorKind::Usage);
    return output;
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

// --- the record ---

val CheckCdf(const std::string& cdf) {
    const InvalidCounts invalid = CountInvalid(ConfigOf(cdf));
    val out = val::object();
    out.set("types", invalid.types);
    out.set("inputs", invalid.inputs);
    out.set("segments", invalid.segments);
    return out;
}

std::string ToText(const std::string& cdf) {
    return ConfigToText(ConfigOf(cdf));
}

val FromText(const std::string& text) {
    return CdfOf(Take(ConfigFromText(text, [](const std::string& f) { return DrawFormula(f); })));
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
    c.SegType[Output(output)][s] = static_cast<int16_t>(code);
    c.SegInput[output][s] = static_cast<int16_t>(input);
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

val CompileCdf(const std::string& cdf, bool reference) {
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

std::string Expression(const std::string& cdf, int output) {
    return FormatExpression(ExpressOutput(ConfigOf(cdf), Output(output)));
}

std::string TruthTable(const std::string& cdf, int output) {
    return TruthTableText(ConfigOf(cdf), Output(output));
}

std::string Diagram(const std::string& cdf, int output) {
    return DiagramText(ConfigOf(cdf), Output(output));
}

val Checks(const std::string& cdf) {
    val out = val::array();
    for (const Finding& f : CheckConfig(ConfigOf(cdf))) {
        val item = val::object();
        item.set("output", f.output);
        item.set("segment", f.segment);
        item.set("text", FindingText(f));
        out.call<void>("push", item);
    }
    return out;
}

val DrawFormulaInto(const std::string& cdf, int output, const std::string& formula) {
    Config c = ConfigOf(cdf);
    const OutputSegments drawn = Take(DrawFormula(formula));
    c.SegType[Output(output)] = drawn.types;
    c.SegInput[output] = drawn.inputs;
    return CdfOf(c);
}

// What the Logic window shows of `output`: the expression and how it was found, the signals it
// depends on, the output's findings, the signals each output reads, and the minimal drawing when
// it takes fewer segments than the diagram (null otherwise).
val LogicOf(const std::string& cdf, int output) {
    const Config c = ConfigOf(cdf);
    const int o = Output(output);
    OutputBits bits;
    CompileOutputBits(c, o, bits);
    const SumOfProducts sop = Minimise(bits);
    val out = val::object();
    out.set("expression", FormatExpression(sop));
    out.set("exact", sop.exact);
    val depends = val::array();
    for (int n : sop.dependsOn) depends.call<void>("push", SignalName(n));
    out.set("dependsOn", depends);
    val findings = val::array();
    for (const Finding& f : CheckOutput(c, o, bits)) {
        val item = val::object();
        item.set("output", f.output);
        item.set("segment", f.segment);
        item.set("text", FindingText(f));
        item.set("reason", FindingReason(f.kind));
        findings.call<void>("push", item);
    }
    out.set("findings", findings);
    out.set("signalUse", SignalUseLine(UseOfSignals(c, false)));
    const int segments = SegmentCount(c.SegType[o]);
    out.set("segments", segments);
    out.set("minimal", val::null());
    out.set("minimalSegments", segments);
    if (OutputHasDiagram(c, o)) {
        auto drawn = DrawFunction(bits, sop);
        if (drawn && SegmentCount(drawn.value().types) < segments) {
            Config m = c;
            m.SegType[o] = drawn.value().types;
            m.SegInput[o] = drawn.value().inputs;
            out.set("minimal", CdfOf(m));
            out.set("minimalSegments", SegmentCount(drawn.value().types));
        }
    }
    return out;
}

bool HasDiagram(const std::string& cdf, int output) {
    return OutputHasDiagram(ConfigOf(cdf), Output(output));
}

val CompareCdf(const std::string& a, const std::string& b) {
    const Comparison c = CompareConfigs(ConfigOf(a), ConfigOf(b));
    val out = val::object();
    out.set("same", c.Same());
    out.set("text", ComparisonText(c));
    return out;
}

// --- the grid's keys: one segment code edited, and the clipboard as a person reads it ---

int CodeWithElement(int code, int element) {
    if (element < 0 || element > 3)
        Throw("There is no element " + std::to_string(element) + ".", ErrorKind::Usage);
    return WithElement(code, static_cast<Element>(element));
}

int CodeWithLinkToggled(int code, int link) {
    if (link != kLinkUp && link != kLinkDown)
        Throw("There is no link " + std::to_string(link) + ".", ErrorKind::Usage);
    return WithLinkToggled(code, link);
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

std::string ClipReadable(const std::string& clip) {
    const auto parsed = ClipFromText(clip);
    if (!parsed) Throw("The clipboard holds no diagram segments.", ErrorKind::Usage);
    return ClipToReadable(*parsed);
}

// --- the emulated device ---

class Emulator {
  public:
    explicit Emulator(val faults) : device_(FaultsOf(faults)) {}
    // The replies to `bytes`, each {text, delayMs, perByteMs}.
    val Feed(const std::string& bytes) {
        val out = val::array();
        for (const auto& r : device_.Feed(bytes)) {
            val item = val::object();
            item.set("text", Bytes(reinterpret_cast<const uint8_t*>(r.text.data()), r.text.size()));
            item.set("delayMs", static_cast<double>(r.delay.count()));
            item.set("perByteMs", static_cast<double>(r.perByte.count()));
            out.call<void>("push", item);
        }
        return out;
    }
    bool Fast() const { return device_.fast(); }
    int Commands() const { return device_.commands(); }

  private:
    static device::Faults FaultsOf(val f) {
        device::Faults d;
        auto number = [&](const char* name, int& to) {
            if (f.hasOwnProperty(name)) to = f[name].as<int>();
        };
        auto flag = [&](const char* name, bool& to) {
            if (f.hasOwnProperty(name)) to = f[name].as<bool>();
        };
        int lateMs = 0, dribbleMs = 0;
        number("silentAfter", d.silentAfter);
        number("dropEvery", d.dropEvery);
        number("lateEvery", d.lateEvery);
        number("lateMs", lateMs);
        number("corruptEvery", d.corruptEvery);
        number("garbleEvery", d.garbleEvery);
        number("floodEvery", d.floodEvery);
        number("dribbleMs", dribbleMs);
        flag("shortReplies", d.shortReplies);
        flag("lowerCaseChecksum", d.lowerCaseChecksum);
        flag("wrongChecksum", d.wrongChecksum);
        flag("noteByte4095", d.noteByte4095);
        d.lateBy = device::Millis{lateMs};
        d.dribble = device::Millis{dribbleMs};
        return d;
    }
    device::DeviceEmulator device_;
};

// --- transfers ---

#ifdef ZEZ_WASM_TRANSFERS
std::atomic<bool> cancelRequested{false};

const char* OutcomeName(device::Outcome o) {
    switch (o) {
        case device::Outcome::Complete:
            return "complete";
        case device::Outcome::Failed:
            return "failed";
        case device::Outcome::NoConnect:
            return "noConnect";
        case device::Outcome::PortError:
            return "portError";
        case device::Outcome::Cancelled:
            return "cancelled";
    }
    return "failed";
}

val ResultOf(const device::TransferResult& r) {
    val out = val::object();
    out.set("outcome", std::string(OutcomeName(r.outcome)));
    out.set("reason", r.reason);
    out.set("hostChecksum", r.hostChecksum);
    out.set("deviceChecksum", device::Printable(r.deviceChecksum));
    return out;
}

// Each runs the desktop's sequence against the host's port; cancelTransfer() stops it at its next
// exchange. No call into the module while it awaits the port (Embind's completion is taken over).
struct Transfer {
    HostPort port;
    HostTime time;
    device::Link link{port, time};
    explicit Transfer(val deadlineMs) {
        cancelRequested = false;
        link.SetCancel(&cancelRequested);
        if (!deadlineMs.isUndefined() && !deadlineMs.isNull())
            link.SetBudget(device::Millis{deadlineMs.as<long long>()});
    }
};

device::CaptionFn Captions() {
    return [](const std::string& text) { HostCaption(text); };
}

val DownloadCdf(const std::string& cdf, const std::string& portName, val deadlineMs) {
    const Config c = ConfigOf(cdf);
    ControlArray array{};
    Compile(c, array);
    Transfer t(deadlineMs);
    return ResultOf(device::Download(t.link, portName, array, c, Captions()));
}

val UploadCdf(const std::string& portName, val deadlineMs) {
    Transfer t(deadlineMs);
    const auto r = device::Upload(t.link, portName, Captions());
    val out = ResultOf(r);
    if (r.outcome == device::Outcome::Complete) out.set("cdf", CdfOf(r.uploaded));
    return out;
}

val VerifyCdf(const std::string& cdf, const std::string& portName, bool quick, val deadlineMs) {
    const Config c = ConfigOf(cdf);
    ControlArray array{};
    Compile(c, array);
    Transfer t(deadlineMs);
    const auto v = device::Verify(t.link, portName, array, c, quick, Captions());
    val out = ResultOf(v.transfer);
    out.set("quick", v.quick);
    out.set("match", v.match);
    val lines = val::array();
    if (v.transfer.outcome == device::Outcome::Complete)
        for (const auto& line : device::VerifyReport(v)) lines.call<void>("push", line);
    out.set("report", lines);
    return out;
}

void CancelTransfer() {
    cancelRequested = true;
}
#endif

}  // namespace

EMSCRIPTEN_BINDINGS(zezudi) {
    using emscripten::function;
    function("version", emscripten::optional_override([] { return std::string(ZEZ_VERSION); }));
    function("checkCdf", &CheckCdf);
    function("toText", &ToText);
    function("fromText", &FromText);
    function("looksLikeText", &LooksLikeText);
    function("segment", &SegmentAt);
    function("setSegment", &SetSegment);
    function("copyRegion", &CopyRegion);
    function("pasteRegion", &PasteRegion);
    function("blankRegion", &BlankRegion);
    function("insertRow", &InsertDiagramRow);
    function("deleteRow", &DeleteDiagramRow);
    function("rewire", &Rewire);
    function("withElement", &CodeWithElement);
    function("withLinkToggled", &CodeWithLinkToggled);
    function("clipReadable", &ClipReadable);
    function("segments", &Segments);
    function("note", &Note);
    function("setNote", &SetNote);
    function("evaluate", &Evaluate);
    function("compile", &CompileCdf);
    function("timeCompile", &TimeCompileCdf);
    function("expression", &Expression);
    function("truthTable", &TruthTable);
    function("diagram", &Diagram);
    function("checks", &Checks);
    function("drawFormula", &DrawFormulaInto);
    function("compare", &CompareCdf);
    function("logic", &LogicOf);
    function("hasDiagram", &HasDiagram);
    emscripten::class_<Emulator>("Emulator")
        .constructor<val>()
        .function("feed", &Emulator::Feed)
        .function("fast", &Emulator::Fast)
        .function("commands", &Emulator::Commands);
#ifdef ZEZ_WASM_TRANSFERS
    function("runDownload", &DownloadCdf);
    function("runUpload", &UploadCdf);
    function("runVerify", &VerifyCdf);
    function("cancelTransfer", &CancelTransfer);
#endif
}

}  // namespace zez::wasm
