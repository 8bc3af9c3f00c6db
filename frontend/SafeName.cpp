// Refuses file names taken from file content that could escape the target directory.
#include "frontend/SafeName.h"

bool isSafeFileName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        // ':' names a drive or an alternate data stream on Windows.
        if (c == '\\' || c == '/' || c == ':' || byte < 0x20 || byte == 0x7F) return false;
    }
    return true;
}
