#include "config/CdfBytes.h"

#include <algorithm>

namespace zez {
namespace {

void PutTable(const SegTable& table, uint8_t* out) {
    for (int s = 0; s < kSegments; ++s) {
        for (int o = 0; o < kOutputs; ++o) {
            const auto v = static_cast<uint16_t>(table[o][s]);
            const int p = FlatPosition(o, s);
            out[2 * p] = static_cast<uint8_t>(v & 0xFF);
            out[2 * p + 1] = static_cast<uint8_t>(v >> 8);
        }
    }
}

void GetTable(const uint8_t* in, SegTable& table) {
    for (int s = 0; s < kSegments; ++s) {
        for (int o = 0; o < kOutputs; ++o) {
            const int p = FlatPosition(o, s);
            table[o][s] =
                static_cast<int16_t>(static_cast<uint16_t>(in[2 * p] | (in[2 * p + 1] << 8)));
        }
    }
}

}  // namespace

CdfBytes SerializeCdf(const Config& config) {
    CdfBytes bytes{};
    PutTable(config.SegType, bytes.data());
    PutTable(config.SegInput, bytes.data() + kTableBytes);
    std::copy(config.NoteData.begin(), config.NoteData.end(), bytes.begin() + 2 * kTableBytes);
    return bytes;
}

Result<Config> ParseCdf(std::span<const uint8_t> bytes) {
    if (bytes.size() < kCdfBytes)
        return Error{"A configuration holds " + std::to_string(kCdfBytes) +
                     " bytes, this has only " + std::to_string(bytes.size()) + "."};
    Config c;
    GetTable(bytes.data(), c.SegType);
    GetTable(bytes.data() + kTableBytes, c.SegInput);
    std::copy_n(bytes.begin() + 2 * kTableBytes, kNoteBytes, c.NoteData.begin());
    return c;
}

}  // namespace zez
