// The I4WU export reader: its titles, the values its rows lack, and the conversion of a cell.
#include "formats/I4WU.h"

#include "record/WorkUnitFields.h"

namespace {

constexpr auto TitleTable = fieldKeys<WorkUnitFieldCount>(true, [](int) { return false; });
static_assert(uniqueKeys(TitleTable));

}  // namespace

const KeyTable I4WU::Titles = TitleTable;

bool I4WU::open(const std::string& directoryPart, const std::string& namePart) {
    const bool opened = openFile(directoryPart + namePart);
    directory = directoryPart;
    fileName = namePart;
    return opened;
}

void I4WU::beginRow() {
    // I4WU exports carry neither receiver nor tape version.
    record.setDefaultReceiverAndTape();
}

void I4WU::storeCell(int column, std::string_view cell) {
    switch (column) {
        case FieldIndex::Update: record.Update.parseLocal(cell); break;
        case FieldIndex::TimeStamp: record.TimeStamp.parseLocal(cell); break;
        case FieldIndex::TimeRecorded: record.time_recorded.parseUtc(cell); break;
        default: record.setField(column, cell); break;  // -1 and other non-fields change nothing
    }
}

void I4WU::closed() {
    directory.clear();
    fileName.clear();
}
