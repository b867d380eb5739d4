#pragma once
// zezudi-cli: headless commands on CDF files. Exit codes: 0 success, 1 failed operation,
// 2 bad usage or input.

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace zez::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// "3" -> output index 2; 1..8 only.
std::optional<int> ParseOutput(const std::string& text);
// "I1,P2" -> input-state word with bits 0 and 9; "none" -> 0. Names are case-insensitive.
std::optional<int32_t> ParseSignalList(const std::string& text);

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace zez::cli
