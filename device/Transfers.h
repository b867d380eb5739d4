#pragma once
// The download and upload sequences. They report progress captions and return an outcome that
// the window or the command line turns into its messages.

#include <functional>
#include <string>

#include "device/Link.h"

namespace zez::device {

enum class Outcome {
    Complete,   // checksums agree
    Failed,     // checksums differ, or the transfer had to stop (see `reason`)
    NoConnect,  // no answer to the connect command
    PortError,  // the port could not be opened or set up; nothing was sent
};

struct TransferResult {
    Outcome outcome = Outcome::Failed;
    std::string reason;  // why a transfer stopped, or why the port could not be used
    std::string hostChecksum, deviceChecksum;
    Config uploaded;  // an upload's data, to be used only when Complete
};

using CaptionFn = std::function<void(const std::string&)>;

// After this many data or read commands in a row without a reply the device counts as gone.
inline constexpr int kSilentLimit = 5;

TransferResult Download(Link& link, const std::string& portName, const ControlArray& array,
                        const Config& config, const CaptionFn& caption = {});
TransferResult Upload(Link& link, const std::string& portName, const CaptionFn& caption = {});

}  // namespace zez::device
