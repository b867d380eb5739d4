// The module's emulated device and, with Asyncify, its transfers against the host's port.

#include <emscripten/bind.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>
#include <vector>

#include "compiler/Compiler.h"
#include "device/Emulator.h"
#include "wasm/Api.h"
#ifdef ZEZ_WASM_TRANSFERS
#include "device/Transfers.h"
#include "wasm/HostPort.h"
#endif

namespace zez::wasm {
namespace {

using emscripten::val;

class Emulator {
  public:
    explicit Emulator(const val& faults) : device_(FaultsOf(faults)) {}
    // The replies to `bytes`, each {text, delayMs, perByteMs}.
    val Feed(const std::string& bytes) {
        val out = val::array();
        for (const auto& r : device_.Feed(bytes)) {
            val item = val::object();
            item.set("text", Bytes(reinterpret_cast<const uint8_t*>(r.text.data()), r.text.size()));
            // Paced, the line time too: fractions of a millisecond.
            item.set("delayMs",
                     std::chrono::duration<double, std::milli>(r.delay + r.wire).count());
            item.set("perByteMs", static_cast<double>(r.perByte.count()));
            out.call<void>("push", item);
        }
        return out;
    }
    bool Fast() const { return device_.fast(); }
    int Commands() const { return device_.commands(); }

    // What the faults' numbers must be, as zezudi-devsim's options (api.js checks them first).
    static void CheckFaults(const val& f) { FaultsOf(f); }

  private:
    static device::Faults FaultsOf(const val& f) {
        device::Faults d;
        std::vector<std::string> known;
        auto number = [&](const char* name, int& to) {
            known.emplace_back(name);
            if (!f.hasOwnProperty(name)) return;
            const val v = f[name];
            if (!v.isNumber() || !device::IsFaultNumber(v.as<double>()))
                Throw(std::string("The fault ") + name + " must be a whole number from 0 to " +
                          std::to_string(static_cast<long>(device::kMaxFaultNumber)) + ", not " +
                          val::global("String")(v).as<std::string>() + ".",
                      ErrorKind::Usage);
            to = static_cast<int>(v.as<double>());
        };
        auto flag = [&](const char* name, bool& to) {
            known.emplace_back(name);
            if (!f.hasOwnProperty(name)) return;
            const val v = f[name];
            if (v.typeOf().as<std::string>() != "boolean")
                Throw(std::string("The fault ") + name + " must be true or false, not " +
                          val::global("String")(v).as<std::string>() + ".",
                      ErrorKind::Usage);
            to = v.as<bool>();
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
        flag("pace", d.pace);
        // A name the emulator does not know is refused, as zezudi-devsim refuses an option.
        const val names = val::global("Object").call<val>("keys", f);
        for (int i = 0; i < names["length"].as<int>(); ++i) {
            const auto name = names[i].as<std::string>();
            if (std::find(known.begin(), known.end(), name) == known.end())
                Throw("The emulator has no fault " + name + ".", ErrorKind::Usage);
        }
        d.lateBy = device::Millis{lateMs};
        d.dribble = device::Millis{dribbleMs};
        return d;
    }
    device::DeviceEmulator device_;
};

#ifdef ZEZ_WASM_TRANSFERS
// Set by the host writing the module's memory (api.js), never through a call: a call into the
// module while the transfer awaits the port would take over its pending completion.
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

constexpr double kYearMs = 365.0 * 24 * 3600 * 1000;

// Each runs the desktop's sequence against the host's port; the cancel flag stops it when the
// port's wait wakes or at its next exchange.
struct Transfer {
    HostPort port;
    HostTime time;
    device::Link link{port, time};
    explicit Transfer(const val& deadlineMs) {
        cancelRequested = false;
        link.SetCancel(&cancelRequested);
        // api.js lets only a finite number above 0 through; a longer one than a year is no limit.
        if (!deadlineMs.isUndefined() && !deadlineMs.isNull()) {
            const double ms = std::clamp(std::ceil(deadlineMs.as<double>()), 1.0, kYearMs);
            link.SetBudget(device::Millis{static_cast<device::Millis::rep>(ms)});
        }
    }
};

device::CaptionFn Captions() {
    return [](const std::string& text) { HostCaption(text); };
}

val DownloadCdf(const std::string& cdf, const std::string& portName, const val& deadlineMs,
                bool force, const std::string& name) {
    RefuseUnlessConfiguration(cdf, force, name, "nothing was sent");
    const Config c = ConfigOf(cdf);
    ControlArray array{};
    Compile(c, array);
    Transfer t(deadlineMs);
    return ResultOf(device::Download(t.link, portName, array, c, Captions()));
}

val UploadCdf(const std::string& portName, const val& deadlineMs) {
    Transfer t(deadlineMs);
    const auto r = device::Upload(t.link, portName, Captions());
    val out = ResultOf(r);
    if (r.outcome == device::Outcome::Complete) out.set("cdf", CdfOf(r.uploaded));
    return out;
}

val VerifyCdf(const std::string& cdf, const std::string& portName, bool quick,
              const val& deadlineMs, bool force, const std::string& name) {
    RefuseUnlessConfiguration(cdf, force, name, "nothing was compared");
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
    // The record with what the device stores where its segments differ, for the grid's frames.
    const auto other = device::DeviceDiagrams(v, c);
    out.set("differing", other ? CdfOf(*other) : val::null());
    return out;
}

// Where the cancel flag lies in the module's memory (one byte, 1 for cancel).
unsigned CancelFlag() {
    return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(&cancelRequested));
}
#endif

}  // namespace

EMSCRIPTEN_BINDINGS(zezudi_transfers) {
    emscripten::class_<Emulator>("Emulator")
        .constructor<val>()
        .function("feed", &Emulator::Feed)
        .function("fast", &Emulator::Fast)
        .function("commands", &Emulator::Commands);
    Bind<&Emulator::CheckFaults>("zezCheckFaults");
#ifdef ZEZ_WASM_TRANSFERS
    Bind<&DownloadCdf>("zezRunDownload");
    Bind<&UploadCdf>("zezRunUpload");
    Bind<&VerifyCdf>("zezRunVerify");
    Bind<&CancelFlag>("zezCancelFlag");
#endif
}

}  // namespace zez::wasm
