// Header rows, data rows and empty lines of the exported tables.
#include "formats/TableRows.h"

TableLine nextTableLine(CSVFile& file, const std::map<std::string, int, std::less<>>& titles,
                        std::vector<int>& columns, std::string& cell) {
    while (file.readLine()) {
        if (file.line.empty()) return TableLine::Empty;
        if (!file.atHeaderRow()) return TableLine::Data;
        columns.clear();
        while (file.nextField(cell)) {
            const auto found = titles.find(cell);
            columns.push_back(found == titles.end() ? -1 : found->second);
        }
    }
    return TableLine::End;
}
