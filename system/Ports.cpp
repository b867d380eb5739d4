#include "system/Ports.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>

namespace zez::device {
namespace {

bool IsAdapter(const PortInfo& p) {
    return p.path.find("usb") != std::string::npos || p.path.find("USB") != std::string::npos ||
           p.path.find("ACM") != std::string::npos || p.vendorId != 0 || !p.byId.empty();
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string Hex4(std::uint16_t v) {
    std::array<char, 5> text{};
    (void)std::snprintf(text.data(), text.size(), "%04x", static_cast<unsigned>(v));
    return text.data();
}

constexpr std::string_view kById = "by-id:", kSerial = "serial:", kPath = "path:";

}  // namespace

void AttachByIdNames(std::vector<PortInfo>& ports, const std::filesystem::path& byIdDir) {
    std::error_code ec;
    std::filesystem::directory_iterator it(byIdDir, ec);
    if (ec) return;
    for (const auto& entry : it) {
        // Each name is a link to its device (../../ttyUSB0); the device is what the list holds.
        const auto target = std::filesystem::weakly_canonical(entry.path(), ec);
        if (ec) continue;
        for (auto& port : ports) {
            std::error_code same;
            if (std::filesystem::equivalent(target, port.path, same) && !same &&
                (port.byId.empty() || entry.path().string() < port.byId))
                port.byId = entry.path().string();
        }
    }
}

void SortPorts(std::vector<PortInfo>& ports) {
    std::stable_sort(ports.begin(), ports.end(), [](const PortInfo& a, const PortInfo& b) {
        if (IsAdapter(a) != IsAdapter(b)) return IsAdapter(a);
        return a.path < b.path;
    });
}

std::string IdentityOf(const PortInfo& port) {
    if (!port.byId.empty()) return std::string(kById) + port.byId;
    if (!port.serialNumber.empty())
        return std::string(kSerial) + port.serialNumber + "@" + port.path;
    return std::string(kPath) + port.path;
}

const PortInfo* FindIdentity(const std::vector<PortInfo>& ports, const std::string& identity) {
    const std::string_view id(identity);
    auto find = [&](auto pred) -> const PortInfo* {
        const auto it = std::find_if(ports.begin(), ports.end(), pred);
        return it == ports.end() ? nullptr : &*it;
    };
    if (id.starts_with(kById)) {
        const auto name = id.substr(kById.size());
        return find([&](const PortInfo& p) { return p.byId == name; });
    }
    if (id.starts_with(kPath)) {
        const auto path = id.substr(kPath.size());
        return find([&](const PortInfo& p) { return p.path == path; });
    }
    if (!id.starts_with(kSerial)) return nullptr;
    const auto rest = id.substr(kSerial.size());
    const auto at = rest.rfind('@');
    if (at == std::string_view::npos) return nullptr;
    const auto number = rest.substr(0, at), path = rest.substr(at + 1);
    const auto sharing = std::count_if(ports.begin(), ports.end(),
                                       [&](const PortInfo& p) { return p.serialNumber == number; });
    // One adapter with the number may have moved to another path; of several, only the one on
    // the kept path is surely it.
    return find([&](const PortInfo& p) {
        return p.serialNumber == number && (sharing == 1 || p.path == path);
    });
}

std::string IdentityText(const std::string& identity) {
    const std::string_view id(identity);
    if (id.starts_with(kById)) return std::string(id.substr(kById.size()));
    if (id.starts_with(kPath)) return std::string(id.substr(kPath.size()));
    const auto rest = id.substr(std::min(id.size(), kSerial.size()));
    const auto at = rest.rfind('@');
    if (!id.starts_with(kSerial) || at == std::string_view::npos) return identity;
    return "the adapter with serial number " + std::string(rest.substr(0, at)) + " (last on " +
           std::string(rest.substr(at + 1)) + ")";
}

std::string AdapterText(const PortInfo& port) {
    std::string text = port.description;
    auto add = [&text](const std::string& part) {
        if (part.empty()) return;
        text += (text.empty() ? "" : ", ") + part;
    };
    if (port.manufacturer != port.description) add(port.manufacturer);
    if (!port.serialNumber.empty()) add("serial number " + port.serialNumber);
    if (port.vendorId != 0) add("USB " + Hex4(port.vendorId) + ":" + Hex4(port.productId));
    return text;
}

std::string PortText(const PortInfo& port) {
    const std::string adapter = AdapterText(port);
    return adapter.empty() ? port.path : port.path + " (" + adapter + ")";
}

PortInfo ResolvePortName(const std::vector<PortInfo>& ports, const std::string& name) {
    for (const auto& p : ports)
        if (p.path == name ||
            (!p.byId.empty() &&
             (p.byId == name || std::filesystem::path(p.byId).filename().string() == name)))
            return p;
    // Windows names its ports in any case: com3 is COM3.
    for (const auto& p : ports)
        if (Upper(p.path).starts_with("COM") && Upper(p.path) == Upper(name)) return p;
    PortInfo unlisted;
    unlisted.path = name;
    return unlisted;
}

}  // namespace zez::device
