#include "config/SegmentEdits.h"

#include <algorithm>
#include <charconv>
#include <sstream>

#include "config/DiagramText.h"

namespace zez {
namespace {

constexpr std::string_view kClipHeader = "zezudi-segments 1";

int Seg(int row, int col) {
    return kSegmentColumns * row + col;
}

bool RowBlank(const Config& config, int output, int row) {
    for (int c = 0; c < kSegmentColumns; ++c)
        if (config.SegType[output][Seg(row, c)] != 0) return false;
    return true;
}

}  // namespace

SegRect SegRect::Spanning(int a, int b) {
    return {std::min(SegRow(a), SegRow(b)), std::min(SegColumn(a), SegColumn(b)),
            std::max(SegRow(a), SegRow(b)), std::max(SegColumn(a), SegColumn(b))};
}

bool SegRect::Contains(int seg) const {
    const int r = SegRow(seg), c = SegColumn(seg);
    return r >= top && r <= bottom && c >= left && c <= right;
}

Clip CopyRect(const Config& config, int output, SegRect r) {
    Clip clip;
    clip.rows = r.Rows();
    clip.columns = r.Columns();
    for (int row = r.top; row <= r.bottom; ++row) {
        for (int col = r.left; col <= r.right; ++col) {
            clip.types.push_back(config.SegType[output][Seg(row, col)]);
            clip.inputs.push_back(config.SegInput[output][Seg(row, col)]);
        }
    }
    return clip;
}

Pasted PasteClip(Config& config, int output, int seg, const Clip& clip) {
    Pasted pasted{{SegRow(seg), SegColumn(seg), std::min(kSegmentRows, SegRow(seg) + clip.rows) - 1,
                   std::min(kSegmentColumns, SegColumn(seg) + clip.columns) - 1}};
    for (int r = 0; r < clip.rows; ++r) {
        for (int c = 0; c < clip.columns; ++c) {
            const int row = SegRow(seg) + r, col = SegColumn(seg) + c;
            if (row >= kSegmentRows || col >= kSegmentColumns) continue;
            const auto i = static_cast<std::size_t>(r * clip.columns + c);
            // Counted as pasted: what falls beyond the grid's edge is not.
            pasted.invalid += !IsValidCode(clip.types[i]) || !IsValidSelection(clip.inputs[i]);
            config.SegType[output][Seg(row, col)] = clip.types[i];
            config.SegInput[output][Seg(row, col)] = clip.inputs[i];
        }
    }
    return pasted;
}

void BlankRect(Config& config, int output, SegRect r) {
    for (int row = r.top; row <= r.bottom; ++row)
        for (int col = r.left; col <= r.right; ++col) config.SegType[output][Seg(row, col)] = 0;
}

Result<void> InsertRow(Config& config, int output, int row) {
    if (!RowBlank(config, output, kSegmentRows - 1))
        return Error{"Cannot insert a row: the last row of LC Input " + std::to_string(output + 1) +
                     " is not empty. Delete or move what is drawn there first."};
    for (int r = kSegmentRows - 1; r > row; --r) {
        for (int c = 0; c < kSegmentColumns; ++c) {
            config.SegType[output][Seg(r, c)] = config.SegType[output][Seg(r - 1, c)];
            config.SegInput[output][Seg(r, c)] = config.SegInput[output][Seg(r - 1, c)];
        }
    }
    for (int c = 0; c < kSegmentColumns; ++c) {
        config.SegType[output][Seg(row, c)] = 0;
        config.SegInput[output][Seg(row, c)] = 0;
    }
    return {};
}

void DeleteRow(Config& config, int output, int row) {
    for (int r = row; r < kSegmentRows - 1; ++r) {
        for (int c = 0; c < kSegmentColumns; ++c) {
            config.SegType[output][Seg(r, c)] = config.SegType[output][Seg(r + 1, c)];
            config.SegInput[output][Seg(r, c)] = config.SegInput[output][Seg(r + 1, c)];
        }
    }
    for (int c = 0; c < kSegmentColumns; ++c) {
        config.SegType[output][Seg(kSegmentRows - 1, c)] = 0;
        config.SegInput[output][Seg(kSegmentRows - 1, c)] = 0;
    }
}

int WithElement(int code, Element element) {
    const int links = IsValidCode(code) ? (code & (kLinkUp | kLinkDown)) : 0;
    return MakeCode(element, links);
}

int WithLinkToggled(int code, int link) {
    return (IsValidCode(code) ? code : 0) ^ link;
}

std::string ClipToText(const Clip& clip) {
    std::ostringstream out;
    out << kClipHeader << "\n" << clip.rows << " " << clip.columns << "\n";
    for (int r = 0; r < clip.rows; ++r) {
        for (int c = 0; c < clip.columns; ++c) {
            const auto i = static_cast<std::size_t>(r * clip.columns + c);
            out << (c ? " " : "") << clip.types[i] << ":" << clip.inputs[i];
        }
        out << "\n";
    }
    return out.str();
}

std::optional<Clip> ClipFromText(std::string_view text) {
    std::istringstream in{std::string(text)};
    std::string header;
    if (!std::getline(in, header) || header != kClipHeader) return std::nullopt;
    Clip clip;
    if (!(in >> clip.rows >> clip.columns)) return std::nullopt;
    if (clip.rows < 1 || clip.rows > kSegmentRows || clip.columns < 1 ||
        clip.columns > kSegmentColumns)
        return std::nullopt;
    for (int i = 0; i < clip.rows * clip.columns; ++i) {
        std::string cell;
        if (!(in >> cell)) return std::nullopt;
        const auto colon = cell.find(':');
        if (colon == std::string::npos) return std::nullopt;
        int type = 0, input = 0;
        const char* b = cell.data();
        const char* e = b + cell.size();
        auto t = std::from_chars(b, b + colon, type);
        auto s = std::from_chars(b + colon + 1, e, input);
        if (t.ec != std::errc{} || t.ptr != b + colon || s.ec != std::errc{} || s.ptr != e ||
            type < -32768 || type > 32767 || input < -32768 || input > 32767)
            return std::nullopt;
        clip.types.push_back(static_cast<int16_t>(type));
        clip.inputs.push_back(static_cast<int16_t>(input));
    }
    return clip;
}

std::string ClipToReadable(const Clip& clip) {
    std::string out;
    for (int r = 0; r < clip.rows; ++r) {
        std::string line;
        for (int c = 0; c < clip.columns; ++c) {
            const auto i = static_cast<std::size_t>(r * clip.columns + c);
            line += SegmentText(clip.types[i], clip.inputs[i]);
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + "\n";
    }
    return out;
}

}  // namespace zez
