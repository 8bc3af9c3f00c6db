// Header rows, data rows and empty lines of the exported tables.
#include "formats/TableRows.h"

TableLine nextTableLine(CSVFile& file, KeyTable titles, std::vector<int>& columns,
                        std::string& cell) {
    while (file.readLine()) {
        if (file.line.empty()) return TableLine::Empty;
        if (!file.atHeaderRow()) return TableLine::Data;
        columns.clear();
        while (file.nextField(cell)) columns.push_back(findKey(titles, cell));
    }
    return TableLine::End;
}
