// The text form: 12,288 arbitrary bytes as a configuration come back byte for byte through
// ConfigToText and ConfigFromText; any other input is read as text and either gives a record
// or an error with a line and column, never a crash.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "config/ConfigText.h"
#include "system/CdfFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace zez;
    if (size == kCdfBytes) {
        const Config c = ParseCdf(std::span<const uint8_t>(data, size)).value();
        const auto back = ConfigFromText(ConfigToText(c));
        if (!back || SerializeCdf(back.value()) != SerializeCdf(c)) __builtin_trap();
        return 0;
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto r = ConfigFromText(text);
    if (!r && r.error().empty()) __builtin_trap();
    if (r) {  // what was read is written so that it reads back the same
        const auto again = ConfigFromText(ConfigToText(r.value()));
        if (!again || !(again.value() == r.value())) __builtin_trap();
    }
    return 0;
}
