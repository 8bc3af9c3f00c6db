// Refuses file names taken from file content that could escape the target directory or that
// one of the OSes cannot store as a plain file.
#include "frontend/SafeName.h"

#include <array>

#include "platform/platform.h"

namespace {

// Windows opens these as devices whatever extension follows them.
bool isDeviceName(std::string_view stem) {
    constexpr std::array<std::string_view, 4> Plain = {"CON", "PRN", "AUX", "NUL"};
    for (std::string_view device : Plain) {
        if (platform::sameNameIgnoringCase(stem, device)) return true;
    }
    if (stem.size() != 4 || stem[3] < '1' || stem[3] > '9') return false;
    const std::string_view prefix = stem.substr(0, 3);
    return platform::sameNameIgnoringCase(prefix, "COM") ||
           platform::sameNameIgnoringCase(prefix, "LPT");
}

}  // namespace

bool isSafeFileName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    constexpr std::string_view Refused = "\\/:<>\"|?*";  // ':' names a drive or a stream
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || Refused.find(c) != std::string_view::npos) return false;
    }
    return !isDeviceName(name.substr(0, name.find('.')));
}
