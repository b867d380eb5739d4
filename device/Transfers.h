#pragma once
// The download and upload sequences. They report progress captions and return an outcome that
// the window or the command line turns into its messages.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device/Link.h"

namespace zez::device {

enum class Outcome {
    Complete,   // checksums agree
    Failed,     // checksums differ, or the transfer had to stop (see `reason`)
    NoConnect,  // no answer to the connect command
    PortError,  // the port could not be opened or set up; nothing was sent
    Cancelled,  // the user stopped it; the port is closed
};

struct TransferResult {
    Outcome outcome = Outcome::Failed;
    std::string reason;   // why a transfer stopped, or why the port could not be used; empty
                          // when it was cancelled
    bool silent = false;  // it stopped because the device no longer answered
    std::string hostChecksum, deviceChecksum;
    Config uploaded;  // an upload's data, to be used only when Complete
};

using CaptionFn = std::function<void(const std::string&)>;

// After this many data or read commands in a row without a reply the device counts as gone.
inline constexpr int kSilentLimit = 5;

// Compare with the device: what it holds read back and set beside a file compiled now. Never
// writes to the device.
struct VerifyResult {
    TransferResult transfer;  // Complete when everything was read and the device vouched for it
    bool quick = false;       // only the stored-data checksum was compared
    bool match = false;
    std::array<int, kOutputs> tableWords{};       // per output: words whose bit differs
    std::array<bool, kOutputs> diagramDiffers{};  // per output: SegType or SegInput differ
    bool noteDiffers = false;
    Config stored;  // the diagrams and note read back, when Complete and not quick
    // segmentDiffers[o][s]: segment s of output o is stored otherwise (type or input).
    std::array<std::array<bool, kSegments>, kOutputs> segmentDiffers{};
};

inline constexpr int kArrayReadBlocks = kInputWords / kReadValues;  // 256

// Full: reads the control array (00000..0FFFF) and the configuration and note (10000..11FFF),
// checks the device's stored-data checksum against what was read, and compares. Quick: only the
// stored-data checksum against the file's; it cannot see the control array.
VerifyResult Verify(Link& link, const std::string& portName, const ControlArray& array,
                    const Config& config, bool quick, const CaptionFn& caption = {});

// What a comparison found, a line each: "match", or per output what differs, then a summary.
std::vector<std::string> VerifyReport(const VerifyResult& v);

// `compared` (the record the device was compared with) with what the device stores at each
// segment that differs, for the grid to frame them; none when no segment differs (as after a
// match, a quick or an unfinished comparison, which find none).
std::optional<Config> DeviceDiagrams(const VerifyResult& v, const Config& compared);

TransferResult Download(Link& link, const std::string& portName, const ControlArray& array,
                        const Config& config, const CaptionFn& caption = {});
TransferResult Upload(Link& link, const std::string& portName, const CaptionFn& caption = {});

}  // namespace zez::device
