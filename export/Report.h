#pragma once
// A commissioning report of a configuration as one self-contained HTML page, for the site's
// records: per output its expression, the signals it depends on, its truth table (up to six
// signals) and the wiring checks' findings; which signals the outputs read; the note; and the
// two checksums the device reports for it: that of a download and that of what it stores.

#include <string>

#include "config/Config.h"

namespace zez {

struct ReportInfo {
    std::string fileName;   // as the title shows it (UTF-8)
    std::string generated;  // when, as the reader should see it
};

inline constexpr int kReportTableSignals = 6;  // larger truth tables are left to the Logic window

std::string ReportHtml(const Config& config, const ReportInfo& info);

}  // namespace zez
