// The SETILog export reader: its column names, the date chain and the conversion of each cell.
#include "formats/SETILog.h"

#include "record/WorkUnitFields.h"
#include "text/Numbers.h"

namespace {

// The record keys less "version" and "Update": SETILog writes its own version in a "version"
// column and the row's date under "date"; "g_fft_ind" is its spelling of bg_fft_ind.
constexpr auto ColumnNames = fieldKeys<WorkUnitFieldCount>(
    false, [](int i) { return i == FieldIndex::Version || i == FieldIndex::Update; },
    {{"date", FieldIndex::Update}, {"g_fft_ind", FieldIndex::BgFftInd}});
static_assert(uniqueKeys(ColumnNames));

}  // namespace

const KeyTable SETILog::Titles = ColumnNames;

void SETILog::beginRow() {
    // SETILog keeps no arrival time; the date of the row before, when the unit before this
    // one was logged, stands in for it.
    takeState(record);
}

void SETILog::rowEndsBefore(int column) {
    if (column != FieldIndex::Update) return;
    lastDate.clear();
    leaveState();
}

void SETILog::storeCell(int column, std::string_view cell) {
    switch (column) {
        case FieldIndex::Update:
            record.Update.parseLocal(cell);
            lastDate = record.Update;
            leaveState();
            break;
        case FieldIndex::TimeStamp:
            break;  // the arrival time comes from the row before, never from the file
        case FieldIndex::TimeRecorded: {
            double julian = 0.0;  // a cell without a number leaves the time unset
            readReal(cell, julian);
            record.time_recorded.setJulian(julian);
            break;
        }
        default: record.setField(column, cell); break;  // -1 and other non-fields change nothing
    }
}
