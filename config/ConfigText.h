#pragma once
// A configuration as text, for version control and for reading: per output that holds anything
// a block of 16 lines of 16 cells, so that one changed segment is one changed line, and the note
// as escaped lines. Lossless: ConfigFromText(ConfigToText(c)) == c for every record, including
// values outside the codes, inputs kept on segments that are no contacts and note bytes after
// the note's end.
//
//   zezudi-config 1
//   output 1
//   I1    /I2   --    --    ...   (16 cells: . blank, -- wire, I1..P8 normally open, /I1../P8
//   ...                            normally closed, then ^ for a link up and v for a link down;
//                                  I? for a contact whose input names no signal, # for a code
//                                  outside 0..15)
//   segment 40 type 77             (what the cells cannot say, after the block)
//   segment 41 input -3
//   note: Stairwell, 2nd floor\r    (the note, one line per line; \r \n \\ \xHH escapes)
//   note-bytes 3000 7A00FF         (bytes after the note's end, in hex)
//
// Blank lines and lines starting with # are ignored.

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "config/Config.h"
#include "config/Result.h"

namespace zez {

inline constexpr std::string_view kConfigTextHeader = "zezudi-config 1";

std::string ConfigToText(const Config& config);

// Draws a formula line ("output 3 = I1&!P5 | I2") as one output's segments.
using FormulaDrawer = std::function<Result<OutputSegments>(const std::string& formula)>;

// Reads the text form; `draw` draws formula lines (without it they are refused). Errors name
// the line and column and what was expected there.
Result<Config> ConfigFromText(std::string_view text, const FormulaDrawer& draw = {});

// Whether `bytes` start like the text form (and so are no CDF file).
bool LooksLikeConfigText(std::string_view bytes);

// A file's whole bytes as the editors read a configuration from either form: the text form
// (formulas drawn by `draw`) when they look like it, else the CDF record; failures name the file
// as `quoted` ("\"site.zez\": line 2, column 1: ...").
Result<Config> ConfigFromFileBytes(std::string_view bytes, const std::string& quoted,
                                   const FormulaDrawer& draw);

}  // namespace zez
