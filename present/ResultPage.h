// The HTML page of result details for one read result file.
#pragma once

#include <string>

class ResFile;

// Writes the page in text mode (CR LF line ends on every OS), creating or replacing the file
// safely: it is made beside the target a block at a time and renamed over it when whole, so a
// failed write leaves the old page as it was. False when refused (see
// platform::ReplacingFile) or when any step fails.
bool writeResultPage(const ResFile& reader, const std::string& path);
// The bytes writeResultPage writes, in memory.
std::string resultPageBytes(const ResFile& reader);
