#include "wasm/HostPort.h"

#include <emscripten.h>

#include <algorithm>
#include <chrono>

namespace zez::wasm {
namespace {

// Each returns 0, or 1 with the reason in the host's `error`; Module.zezHost is set for the
// length of one transfer by api.js. A call the host answers at once (a write that the system
// took whole, say) returns at once; one that it answers with a promise suspends the transfer
// until the promise settles (these are the module's asynchronous imports, see CMakeLists.txt).
EM_JS(int, host_open, (const char* name, const char* settings), {
    return Asyncify.handleSleep(function(wakeUp) {
        Module.zezHost.settle(Module.zezHost.open(UTF8ToString(name), UTF8ToString(settings)),
                              wakeUp);
    });
});
EM_JS(int, host_close, (), {
    return Asyncify.handleSleep(
        function(wakeUp) { Module.zezHost.settle(Module.zezHost.close(), wakeUp); });
});
EM_JS(int, host_dtr_off, (), {
    return Asyncify.handleSleep(
        function(wakeUp) { Module.zezHost.settle(Module.zezHost.dtrOff(), wakeUp); });
});
EM_JS(int, host_write, (const char* data, int length), {
    return Asyncify.handleSleep(function(wakeUp) {
        Module.zezHost.settle(Module.zezHost.write(HEAPU8.slice(data, data + length)), wakeUp);
    });
});
EM_JS(int, host_wait, (double ms), {
    return Asyncify.handleSleep(
        function(wakeUp) { Module.zezHost.settle(Module.zezHost.waitForData(ms), wakeUp); });
});
EM_JS(int, host_sleep, (double ms), {
    return Asyncify.handleSleep(function(wakeUp) {
        setTimeout(
            function() { wakeUp(0); }, ms);
    });
});
EM_JS(int, host_waiting, (), { return Module.zezHost.waiting(); });
EM_JS(int, host_read, (char* data, int length),
      { return Module.zezHost.readInto(HEAPU8.subarray(data, data + length)); });
EM_JS(int, host_error_length, (), { return lengthBytesUTF8(Module.zezHost.error) + 1; });
EM_JS(void, host_error_text, (char* out, int size),
      { stringToUTF8(Module.zezHost.error, out, size); });
EM_JS(void, host_caption, (const char* text), { Module.zezHost.caption(UTF8ToString(text)); });

Result<void> HostError() {
    std::string text(static_cast<std::size_t>(host_error_length()), '\0');
    host_error_text(text.data(), static_cast<int>(text.size()));
    text.resize(text.find('\0'));
    return Error{text, ErrorKind::Device};
}

double MillisUntil(device::TimePoint t) {
    const auto left = std::chrono::duration<double, std::milli>(t - device::Clock::now()).count();
    return std::max(left, 0.0);
}

}  // namespace

Result<void> HostPort::Open(const std::string& name, std::string_view settings) {
    const std::string s(settings);
    if (host_open(name.c_str(), s.c_str()) != 0) return HostError();
    return {};
}

void HostPort::Close() {
    static_cast<void>(host_close());
}

void HostPort::DtrOff() {
    static_cast<void>(host_dtr_off());
}

int HostPort::Waiting() {
    return host_waiting();
}

std::string HostPort::ReadAll() {
    // What the host says is taken within bounds: a count it gets wrong costs no memory.
    constexpr int kMost = 1 << 20;
    std::string text(static_cast<std::size_t>(std::clamp(host_waiting(), 0, kMost)), '\0');
    const int got = host_read(text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::clamp(got, 0, static_cast<int>(text.size()))));
    return text;
}

Result<void> HostPort::Write(std::string_view text) {
    if (host_write(text.data(), static_cast<int>(text.size())) != 0) return HostError();
    return {};
}

Result<void> HostPort::WaitForData(device::TimePoint deadline) {
    if (host_wait(MillisUntil(deadline)) != 0) return HostError();
    return {};
}

void HostTime::SleepUntil(device::TimePoint t) {
    static_cast<void>(host_sleep(MillisUntil(t)));
}

void HostCaption(const std::string& text) {
    host_caption(text.c_str());
}

}  // namespace zez::wasm
