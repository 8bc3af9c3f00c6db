// The HTML page of result details for one read result file.
#pragma once

#include <string>

class ResFile;

// Writes the page in text mode (CR LF line ends on every OS), creating or replacing the
// file. False when the file cannot be opened or a write fails.
bool writeResultPage(const ResFile& reader, const std::string& path);
