// The SETILog export reader: its column names, the date chain and the conversion of each cell.
#include "formats/SETILog.h"

#include <utility>

#include "formats/TableRows.h"
#include "record/Numbers.h"
#include "record/WorkUnitFields.h"

namespace {

constexpr int UpdateField = FieldIndex::Update;
constexpr int TimeStampField = FieldIndex::TimeStamp;
constexpr int TimeRecordedField = FieldIndex::TimeRecorded;

// The record keys less "version" and "Update": SETILog writes its own version in a "version"
// column and the row's date under "date"; "g_fft_ind" is its spelling of bg_fft_ind.
constexpr auto ColumnNames = fieldKeys<WorkUnitFieldCount>(
    false, [](int i) { return i == FieldIndex::Version || i == UpdateField; },
    {{"date", UpdateField}, {"g_fft_ind", FieldIndex::BgFftInd}});
static_assert(uniqueKeys(ColumnNames));

}  // namespace

SETILog::SETILog() {
    for (int i = 0; i < WorkUnitFieldCount; ++i) columns.push_back(i);
}

SETILog::SETILog(const std::string& path) : SETILog() { open(path); }

bool SETILog::open(const std::string& path) {
    close();
    return file_.open(path);
}

bool SETILog::openBytes(std::string bytes) {
    close();
    return file_.openBytes(std::move(bytes));
}

void SETILog::close() {
    if (file_.isOpen()) file_.close();
    record.clear();
}

bool SETILog::readRecord() {
    const TableLine line = nextTableLine(file_, ColumnNames, columns, cell_);
    if (line == TableLine::End) return false;
    record.clear();
    if (line == TableLine::Empty) return true;  // an empty record, which the store refuses
    // SETILog keeps no arrival time; the date of the row before, when the unit before this
    // one was logged, stands in for it.
    record.TimeStamp = lastDate;
    for (int column : columns) {
        if (!file_.nextField(cell_)) {
            if (column == UpdateField) lastDate.clear();
            break;
        }
        storeCell(column, cell_);
    }
    return true;
}

void SETILog::storeCell(int column, const std::string& cell) {
    switch (column) {
    case UpdateField:
        record.Update.parseLocal(cell);
        lastDate = record.Update;
        break;
    case TimeStampField:
        break;  // the arrival time comes from the row before, never from the file
    case TimeRecordedField: {
        double julian = 0.0;  // a cell without a number leaves the time unset
        readReal(cell, julian);
        record.time_recorded.setJulian(julian);
        break;
    }
    default: record.setField(column, cell); break;  // -1 and other non-fields change nothing
    }
}
