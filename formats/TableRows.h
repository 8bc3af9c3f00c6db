// The rows of the exported tables that the I4WU and SETILog readers share: header rows that
// name the columns, data rows, and empty lines.
#pragma once

#include <string>
#include <vector>

#include "record/KeyTable.h"
#include "record/TextFiles.h"

enum class TableLine { End, Empty, Data };

// Reads on to the next data row or empty line. Every header row on the way replaces `columns`
// with the index of each of its titles in `titles`, or -1 for a title that is not there.
// End at the end of the file or when no file is open. `cell` is scratch space.
TableLine nextTableLine(CSVFile& file, KeyTable titles, std::vector<int>& columns,
                        std::string& cell);
