#pragma once
// Moving contacts from one signal to another, as when a switch is wired to another input on
// site: every contact on I3 then reads P5, say. Segments that are no contact, and contacts on no
// signal (a selection outside 0..15), keep what they hold.

#include <array>
#include <string>

#include "config/Config.h"
#include "config/Result.h"

namespace zez {

inline constexpr int kSignals = 16;

// For each signal (I1..I8 are 0..7, P1..P8 are 8..15) the signal its contacts move to.
struct SignalMap {
    std::array<int, kSignals> to{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
};

// Reads moves such as "I3=P5, I5<>I6": A=B moves A's contacts to B, A<>B swaps A and B. Moves
// are separated by commas or spaces; names may be lower case; a signal moves at most once.
// Errors name the column (from 1), e.g. "column 3: expected = or <> after I3".
Result<SignalMap> ParseSignalMap(const std::string& text);

// "I3 -> P5, I5 -> I6, I6 -> I5"; "no change" for the identity.
std::string SignalMapText(const SignalMap& map);

// Moves the contacts of the outputs whose bit is set in `outputs`; how many moved per output.
std::array<int, kOutputs> RewireContacts(Config& config, const SignalMap& map,
                                         unsigned outputs = 0xFF);

}  // namespace zez
