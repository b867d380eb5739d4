#include "config/ConfigText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <sstream>
#include <vector>

#include "config/CdfBytes.h"

namespace zez {
namespace {

constexpr int kCellWidth = 5;  // "/P8^v"

std::string Cell(int code, int sel) {
    if (!IsValidCode(code)) return "#";
    std::string cell;
    switch (ElementOf(code)) {
        case Element::None:
            cell = ".";
            break;
        case Element::Wire:
            cell = "--";
            break;
        case Element::NormallyOpen:
        case Element::NormallyClosed:
            cell = ElementOf(code) == Element::NormallyClosed ? "/" : "";
            cell += IsValidSelection(sel) ? SignalName(sel) : "I?";
            break;
    }
    if (code & kLinkUp) cell += '^';
    if (code & kLinkDown) cell += 'v';
    return cell;
}

// Whether the cell says the segment's input: a contact on a signal, or any other segment whose
// input is 0 (what a never-edited segment holds).
bool CellHoldsInput(int code, int sel) {
    return IsContact(code) ? IsValidSelection(sel) : sel == 0;
}

bool OutputUsed(const Config& c, int o) {
    const auto nonzero = [](int16_t v) { return v != 0; };
    return std::any_of(c.SegType[o].begin(), c.SegType[o].end(), nonzero) ||
           std::any_of(c.SegInput[o].begin(), c.SegInput[o].end(), nonzero);
}

const char* kHex = "0123456789ABCDEF";

void AppendNoteByte(std::string& line, uint8_t b) {
    if (b == '\\') {
        line += "\\\\";
    } else if (b == '\r') {
        line += "\\r";
    } else if (b == '\n') {
        line += "\\n";
    } else if (b >= 0x20 && b < 0x7F) {
        line += static_cast<char>(b);
    } else {
        line += "\\x";
        line += kHex[b >> 4];
        line += kHex[b & 15];
    }
}

// One note line. A space at its end is escaped: editors and version control strip blanks at the
// ends of lines (a tab is always escaped).
void PutNoteLine(std::ostringstream& out, std::string& line) {
    if (!line.empty() && line.back() == ' ') line.replace(line.size() - 1, 1, "\\x20");
    out << "note: " << line << "\n";
    line.clear();
}

void WriteNote(std::ostringstream& out, const NoteBytes& note) {
    const auto end =
        static_cast<std::size_t>(std::find(note.begin(), note.end(), 0) - note.begin());
    std::string line;
    for (std::size_t i = 0; i < end; ++i) {
        if (note[i] == '\r' && i + 1 < end && note[i + 1] == '\n') {
            PutNoteLine(out, line);
            ++i;
            continue;
        }
        AppendNoteByte(line, note[i]);
    }
    if (end > 0) PutNoteLine(out, line);
    for (std::size_t i = end + 1; i < note.size();) {
        if (note[i] == 0) {
            ++i;
            continue;
        }
        std::size_t stop = std::min(note.size(), i + 32);
        while (note[stop - 1] == 0) --stop;
        out << "note-bytes " << i << " ";
        for (std::size_t k = i; k < stop; ++k) out << kHex[note[k] >> 4] << kHex[note[k] & 15];
        out << "\n";
        i = stop;
    }
}

}  // namespace

std::string ConfigToText(const Config& c) {
    std::ostringstream out;
    out << kConfigTextHeader << "\n";
    for (int o = 0; o < kOutputs; ++o) {
        if (!OutputUsed(c, o)) continue;
        out << "output " << o + 1 << "\n";
        for (int row = 0; row < 16; ++row) {
            std::string line;
            for (int col = 0; col < 16; ++col) {
                const int s = 16 * row + col;
                std::string cell = Cell(c.SegType[o][s], c.SegInput[o][s]);
                if (col < 15) cell.resize(kCellWidth, ' ');
                line += cell + (col < 15 ? " " : "");
            }
            out << line << "\n";
        }
        for (int s = 0; s < kSegments; ++s) {
            if (!IsValidCode(c.SegType[o][s]))
                out << "segment " << s << " type " << c.SegType[o][s] << "\n";
            if (!CellHoldsInput(c.SegType[o][s], c.SegInput[o][s]))
                out << "segment " << s << " input " << c.SegInput[o][s] << "\n";
        }
    }
    WriteNote(out, c.NoteData);
    return out.str();
}

bool LooksLikeConfigText(std::string_view bytes) {
    // The first line that is neither blank nor a comment is the header.
    for (std::size_t at = 0; at < bytes.size();) {
        const auto end = std::min(bytes.find('\n', at), bytes.size());
        const auto line = bytes.substr(at, end - at);
        const auto first = line.find_first_not_of(" \t\r");
        if (first != std::string_view::npos && line[first] != '#')
            return line.substr(0, 13) == "zezudi-config";
        at = end + 1;
    }
    return false;
}

namespace {

class TextReader {
  public:
    TextReader(std::string_view text, const FormulaDrawer& draw) : text_(text), draw_(draw) {}

    Result<Config> Read() {
        bool header = false;
        while (NextLine()) {
            if (rowsLeft_ == 0 && Blank()) continue;
            if (!header) {
                if (line_ != kConfigTextHeader) {
                    Fail(1, "the header \"" + std::string(kConfigTextHeader) + "\"");
                    return Error{*error_};
                }
                header = true;
                continue;
            }
            if (!ReadLine()) return Error{*error_};
        }
        if (!header)
            return Error{"the text is empty: expected the header \"" +
                         std::string(kConfigTextHeader) + "\""};
        if (!CheckBlock()) return Error{*error_};
        if (!noteText_.empty()) {
            if (noteText_.size() > kNoteBytes) return Error{"the note is longer than 4096 bytes"};
            std::copy(noteText_.begin(), noteText_.end(), config_.NoteData.begin());
        }
        for (const auto& [at, byte, line] : noteBytes_) {
            if (at <= noteText_.size()) {
                line_no_ = line;
                Fail(12,
                     "an offset after the note's end (" + std::to_string(noteText_.size()) + ")");
                return Error{*error_};
            }
            config_.NoteData[at] = byte;
        }
        return config_;
    }

  private:
    bool NextLine() {
        if (pos_ >= text_.size()) return false;
        auto end = text_.find('\n', pos_);
        if (end == std::string_view::npos) end = text_.size();
        line_ = text_.substr(pos_, end - pos_);
        if (!line_.empty() && line_.back() == '\r') line_.remove_suffix(1);
        pos_ = end + 1;
        ++line_no_;
        return true;
    }
    // An empty line, one of spaces only, or a comment.
    bool Blank() const {
        const auto first = line_.find_first_not_of(" \t");
        return first == std::string_view::npos || line_[first] == '#';
    }
    std::nullopt_t Fail(std::size_t column, const std::string& expected) {
        if (!error_)
            error_ = "line " + std::to_string(line_no_) + ", column " + std::to_string(column) +
                     ": expected " + expected;
        return std::nullopt;
    }
    static bool Hex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }
    // Two hex digits (checked by Hex) as a byte.
    static int HexByte(std::string_view two) {
        const auto digit = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
        return 16 * digit(two[0]) + digit(two[1]);
    }
    static std::optional<long> Number(std::string_view s) {
        long v = 0;
        const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
        if (ec != std::errc{} || p != s.data() + s.size()) return std::nullopt;
        return v;
    }
    // The words of the line with the column (from 1) each starts at.
    std::vector<std::pair<std::string_view, std::size_t>> Words() const {
        std::vector<std::pair<std::string_view, std::size_t>> words;
        for (std::size_t i = 0; i < line_.size();) {
            if (line_[i] == ' ' || line_[i] == '\t') {
                ++i;
                continue;
            }
            std::size_t j = i;
            while (j < line_.size() && line_[j] != ' ' && line_[j] != '\t') ++j;
            words.emplace_back(line_.substr(i, j - i), i + 1);
            i = j;
        }
        return words;
    }

    std::optional<bool> ReadLine() {
        if (rowsLeft_ > 0) return ReadRow();
        if (line_.rfind("note:", 0) == 0) return ReadNoteLine();
        const auto words = Words();
        const auto w = words[0].first;
        if (w == "output") return ReadOutput(words);
        if (w == "segment") return ReadSegmentLine(words);
        if (w == "note-bytes") return ReadNoteBytes(words);
        return Fail(1, "output, segment, note: or note-bytes");
    }

    std::optional<bool> ReadOutput(const std::vector<std::pair<std::string_view, std::size_t>>& w) {
        if (!CheckBlock()) return std::nullopt;
        const auto n = w.size() > 1 ? Number(w[1].first) : std::nullopt;
        if (!n || *n < 1 || *n > kOutputs)
            return Fail(w.size() > 1 ? w[1].second : line_.size() + 1, "an output number 1..8");
        output_ = static_cast<int>(*n) - 1;
        if (seen_[static_cast<std::size_t>(output_)]) return Fail(w[1].second, "each output once");
        seen_[static_cast<std::size_t>(output_)] = true;
        if (w.size() > 2 && w[2].first == "=") {
            if (!draw_)
                return Fail(w[2].second,
                            "16 rows of cells: drawing an output from a formula is "
                            "not available in this version");
            // The drawer counts columns in what it is given: the line with all before the formula
            // blanked, so that its columns are the line's.
            auto drawn =
                draw_(std::string(w[2].second, ' ') + std::string(line_.substr(w[2].second)));
            if (!drawn) {
                // A formula that does not parse is placed in the line by the drawer's column.
                const bool placed = drawn.kind() == ErrorKind::Usage;
                error_ =
                    "line " + std::to_string(line_no_) + (placed ? ", " : ": ") + drawn.error();
                return std::nullopt;
            }
            config_.SegType[output_] = drawn.value().types;
            config_.SegInput[output_] = drawn.value().inputs;
            output_ = -1;
            return true;
        }
        if (w.size() > 2) return Fail(w[2].second, "the end of the line, or = and a formula");
        rowsLeft_ = 16;
        return true;
    }

    std::optional<bool> ReadRow() {
        const int row = 16 - rowsLeft_--;
        const auto words = Words();
        for (std::size_t col = 0; col < 16; ++col) {
            if (col >= words.size())
                return Fail(line_.size() + 1, "16 cells in row " + std::to_string(row + 1));
            const int s = 16 * row + static_cast<int>(col);
            if (!ReadCell(words[col].first, s)) return Fail(words[col].second, kCellHelp);
        }
        if (words.size() > 16) return Fail(words[16].second, "the end of the row after 16 cells");
        return true;
    }

    static constexpr const char* kCellHelp =
        "a cell: . (blank), -- (wire), I1..I8 or P1..P8 (normally open), /I1../P8 (normally "
        "closed), I? or /I?, # ; then ^ and v for links";

    bool ReadCell(std::string_view cell, int s) {
        auto& type = config_.SegType[output_][s];
        auto& input = config_.SegInput[output_][s];
        if (cell == "#") {
            needType_[s] = true;
            return true;
        }
        int link = 0;
        if (!cell.empty() && cell.back() == 'v') link |= kLinkDown, cell.remove_suffix(1);
        if (!cell.empty() && cell.back() == '^') link |= kLinkUp, cell.remove_suffix(1);
        Element e;
        if (cell == ".") {
            e = Element::None;
        } else if (cell == "--") {
            e = Element::Wire;
        } else {
            e = Element::NormallyOpen;
            if (!cell.empty() && cell[0] == '/') e = Element::NormallyClosed, cell.remove_prefix(1);
            if (cell == "I?") {
                needInput_[s] = true;
            } else if (cell.size() == 2 && (cell[0] == 'I' || cell[0] == 'P') && cell[1] >= '1' &&
                       cell[1] <= '8') {
                input = static_cast<int16_t>(cell[1] - '1' + (cell[0] == 'P' ? 8 : 0));
            } else {
                return false;
            }
        }
        type = static_cast<int16_t>(MakeCode(e, link));
        return true;
    }

    std::optional<bool> ReadSegmentLine(
        const std::vector<std::pair<std::string_view, std::size_t>>& w) {
        if (output_ < 0) return Fail(1, "an output block before its segment lines");
        const auto s = w.size() > 1 ? Number(w[1].first) : std::nullopt;
        if (!s || *s < 0 || *s >= kSegments)
            return Fail(w.size() > 1 ? w[1].second : line_.size() + 1, "a segment number 0..255");
        const bool isType = w.size() > 2 && w[2].first == "type";
        if (w.size() < 3 || (!isType && w[2].first != "input"))
            return Fail(w.size() > 2 ? w[2].second : line_.size() + 1, "type or input");
        const auto v = w.size() > 3 ? Number(w[3].first) : std::nullopt;
        if (!v || *v < -32768 || *v > 32767)
            return Fail(w.size() > 3 ? w[3].second : line_.size() + 1, "a value -32768..32767");
        if (w.size() > 4) return Fail(w[4].second, "the end of the line");
        const auto i = static_cast<std::size_t>(*s);
        (isType ? config_.SegType : config_.SegInput)[output_][i] = static_cast<int16_t>(*v);
        (isType ? needType_ : needInput_)[i] = false;
        return true;
    }

    // After an output's block and its segment lines: every # and I? got its value.
    bool CheckBlock() {
        if (rowsLeft_ > 0) {
            Fail(1, std::to_string(rowsLeft_) + " more row(s) of output " +
                        std::to_string(output_ + 1));
            return false;
        }
        for (int s = 0; s < kSegments; ++s) {
            if (needType_[s] || needInput_[s]) {
                error_ = "output " + std::to_string(output_ + 1) + ", segment " +
                         std::to_string(s) + ": its cell (" + (needType_[s] ? "#" : "I?") +
                         ") needs a line \"segment " + std::to_string(s) +
                         (needType_[s] ? " type" : " input") + " N\" after the block";
                return false;
            }
        }
        return true;
    }

    std::optional<bool> ReadNoteLine() {
        if (notes_ > 0) noteText_ += "\r\n";
        ++notes_;
        std::size_t i = 5;
        if (i < line_.size() && line_[i] == ' ') ++i;
        for (; i < line_.size(); ++i) {
            const char c = line_[i];
            if (c != '\\') {
                noteText_ += c;
                continue;
            }
            const char e = i + 1 < line_.size() ? line_[i + 1] : '\0';
            if (e == '\\' || e == 'r' || e == 'n') {
                noteText_ += e == '\\' ? '\\' : e == 'r' ? '\r' : '\n';
                ++i;
            } else if (e == 'x' && i + 3 < line_.size() && Hex(line_[i + 2]) && Hex(line_[i + 3])) {
                const auto v = HexByte(line_.substr(i + 2, 2));
                if (v == 0)
                    return Fail(i + 1, "no \\x00 in a note line (a zero byte ends the note)");
                noteText_ += static_cast<char>(v);
                i += 3;
            } else {
                return Fail(i + 1, "an escape: \\\\, \\r, \\n or \\xHH");
            }
        }
        return true;
    }

    std::optional<bool> ReadNoteBytes(
        const std::vector<std::pair<std::string_view, std::size_t>>& w) {
        const auto at = w.size() > 1 ? Number(w[1].first) : std::nullopt;
        if (!at || *at < 1 || *at >= kNoteBytes)
            return Fail(w.size() > 1 ? w[1].second : line_.size() + 1, "an offset 1..4095");
        if (w.size() != 3 || w[2].first.size() % 2 != 0 ||
            static_cast<std::size_t>(*at) + w[2].first.size() / 2 > kNoteBytes)
            return Fail(w.size() > 2 ? w[2].second : line_.size() + 1,
                        "an even number of hex digits that fit in the note");
        for (std::size_t k = 0; k < w[2].first.size(); k += 2) {
            const auto hex = w[2].first.substr(k, 2);
            if (!Hex(hex[0]) || !Hex(hex[1])) return Fail(w[2].second + k, "hex digits");
            noteBytes_.push_back({static_cast<std::size_t>(*at) + k / 2,
                                  static_cast<uint8_t>(HexByte(hex)), line_no_});
        }
        return true;
    }

    struct NoteByte {
        std::size_t at;
        uint8_t byte;
        int line;
    };

    std::string_view text_;
    const FormulaDrawer& draw_;
    std::size_t pos_ = 0;
    std::string_view line_;
    int line_no_ = 0;
    int output_ = -1, rowsLeft_ = 0, notes_ = 0;
    std::array<bool, kOutputs> seen_{};
    std::array<bool, kSegments> needType_{}, needInput_{};
    std::string noteText_;
    std::vector<NoteByte> noteBytes_;
    Config config_;
    std::optional<std::string> error_;
};

}  // namespace

Result<Config> ConfigFromText(std::string_view text, const FormulaDrawer& draw) {
    return TextReader(text, draw).Read();
}

Result<Config> ConfigFromFileBytes(std::string_view bytes, const std::string& quoted,
                                   const FormulaDrawer& draw) {
    constexpr std::size_t kLimit = 4 << 20;  // far more than any configuration's text
    if (!LooksLikeConfigText(bytes))
        return ParseCdf({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, quoted);
    if (bytes.size() > kLimit) return Error{quoted + " is too large for a configuration."};
    auto config = ConfigFromText(bytes, draw);
    if (!config) return Error{quoted + ": " + config.error()};
    return config;
}

}  // namespace zez
