// The I4WU export reader: title lookup, header rows and the conversion of each cell.
#include "formats/I4WU.h"

#include <utility>

#include "formats/TableRows.h"
#include "record/WorkUnitFields.h"

namespace {

// I4WU exports carry neither receiver nor tape version: every row gets the receiver of the
// work units of its time and an unknown tape. (Held as strings: assigning the literals trips a
// false -Wrestrict warning in GCC 12 at -O2.)
const std::string Receiver = "ao1420";
const std::string TapeVersion = "?";

constexpr auto Titles = fieldKeys<WorkUnitFieldCount>(true, [](int) { return false; });
static_assert(uniqueKeys(Titles));

}  // namespace

I4WU::I4WU() {
    for (int i = 0; i < WorkUnitFieldCount; ++i) columns.push_back(i);
}

I4WU::I4WU(const std::string& directory, const std::string& fileName) : I4WU() {
    open(directory, fileName);
}

bool I4WU::open(const std::string& directoryPart, const std::string& namePart) {
    close();
    directory = directoryPart;
    fileName = namePart;
    return file_.open(directory + fileName);
}

bool I4WU::openBytes(std::string bytes) {
    close();
    return file_.openBytes(std::move(bytes));
}

void I4WU::close() {
    if (file_.isOpen()) {
        file_.close();
        directory.clear();
        fileName.clear();
    }
    record.clear();
}

bool I4WU::readRecord() {
    const TableLine line = nextTableLine(file_, Titles, columns, cell_);
    if (line == TableLine::End) return false;
    record.clear();
    if (line == TableLine::Empty) return true;  // an empty record, which the store refuses
    record.receiver = Receiver;
    record.tape_version = TapeVersion;
    for (int column : columns) {
        if (!file_.nextField(cell_)) break;
        storeCell(column, cell_);
    }
    return true;
}

void I4WU::storeCell(int column, const std::string& cell) {
    switch (column) {
    case FieldIndex::Update: record.Update.parseLocal(cell); break;
    case FieldIndex::TimeStamp: record.TimeStamp.parseLocal(cell); break;
    case FieldIndex::TimeRecorded: record.time_recorded.parseUtc(cell); break;
    default: record.setField(column, cell); break;  // -1 and other non-fields change nothing
    }
}
