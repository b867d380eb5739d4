#pragma once
// One output's ladder diagram as text for a terminal.

#include <string>

#include "config/Config.h"

namespace zez {

// Rails "|" left (supply) and right (output); per segment a six-character element field and a
// junction character: wire "------", normally open "-[ I3]", normally closed "-[/P1]", blank
// spaces, a code that is no segment "<bad>". Junction "+" where a link leaves it, "-" otherwise.
// Between rows "|" marks a joined link, ":" a half link that meets nothing.
std::string DiagramText(const Config& config, int output);

// One segment as the diagram draws it: its element field and junction character (7 characters).
std::string SegmentText(int code, int sel);

// A segment's links in words: "an up link", "a down link", "up and down links"; "" for none.
std::string LinkWords(int code);

// One segment in words: "blank", "a wire with a down link", "a normally open contact on I3 with
// up and down links", "no segment (code 77)".
std::string SegmentWords(int code, int sel);

}  // namespace zez
