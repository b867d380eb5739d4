// The module's documents: the commissioning report as one HTML page, as the desktop's Export
// Report and the command line's report write it, and whether a file may be written over.
#include <emscripten/bind.h>

#include <cstdint>
#include <string>

#include "export/Report.h"
#include "wasm/Api.h"

namespace zez::wasm {
namespace {

// `fileName` as the title shows it, `generated` when and from where (the desktop says "on
// 2026-12-09 from site.CDF").
std::string ReportPage(const std::string& cdf, const std::string& fileName,
                       const std::string& generated) {
    return ReportHtml(ConfigOf(cdf), {fileName, generated});
}

// A file's whole bytes: a document written over them would lose a configuration.
bool Holds(const std::string& bytes) {
    return HoldsConfiguration({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()},
                              bytes.size());
}

}  // namespace

EMSCRIPTEN_BINDINGS(zezudi_report) {
    Bind<&ReportPage>("report");
    Bind<&Holds>("holdsConfiguration");
}

}  // namespace zez::wasm
