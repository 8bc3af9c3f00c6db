// Reader of the client's result file: the header keys, opening with the file's time, the header
// section and closing. The signal section is in ResFileSignals.cpp.
#include "clientfiles/ResFile.h"

#include <utility>

#include "options/FindFile.h"
#include "record/WorkUnitFields.h"
#include "text/Numbers.h"

namespace {

// "Update" and "TimeStamp" are never taken from a client file: both come from file times.
constexpr auto HeaderKeys = fieldKeys<WorkUnitFieldCount - 1>(
    false, [](int i) { return i == FieldIndex::Update || i == FieldIndex::TimeStamp; },
    {{"cpu_time", FieldIndex::Cpu}});
static_assert(uniqueKeys(HeaderKeys));

}  // namespace

void applyHeaderValue(WorkUnit& record, std::string_view key, std::string_view value) {
    const int index = findKey(HeaderKeys, key);
    if (index == FieldIndex::TimeRecorded) {
        // A Julian Date; the client may follow it with the date in brackets, which the
        // number reader leaves behind.
        double jd = 0;
        if (readReal(value, jd)) record.time_recorded.setJulian(jd);
        return;
    }
    record.setField(index, value);  // an unknown key (-1) changes nothing
}

namespace {

// One header line's key and value into `record`; true for the line that ends the header.
bool applyHeaderLine(WorkUnit& record, const std::string& key, const std::string& value) {
    if (key.empty()) return false;
    if (value.empty()) return key == "end_seti_header";
    applyHeaderValue(record, key, value);
    return false;
}

}  // namespace

bool readHeaderLines(INIFile& file, WorkUnit& record) {
    while (file.readLine()) {
        if (applyHeaderLine(record, file.key, file.value)) return true;
    }
    return false;
}

bool ResFile::readHeader() {
    std::string key;
    std::string value;
    std::string_view line;
    while (file_.readLine(line)) {
        // A NUL ends the line, as INIFile reads it.
        INIFile::splitKeyValue(line.substr(0, line.find('\0')), key, value);
        if (applyHeaderLine(record, key, value)) return true;
    }
    return false;
}

ResFile::ResFile(const std::string& path) { open(path); }

bool ResFile::open(const std::string& path) {
    close();
    FindFile finder;
    if (finder.find(path).empty()) return false;
    // The file's last-write time arrives as local text; setLocal turns it back into UTC.
    record.Update.parseLocal(finder.modified);
    record.TimeStamp = record.Update;
    finder.close();
    return file_.open(path, true);
}

bool ResFile::openBytes(std::string bytes) {
    close();
    return file_.openBytes(std::move(bytes), true);
}

bool ResFile::read() {
    if (!file_.isOpen()) return false;
    record.prog = 1.0;  // a finished result; a "prog" header line overrides it
    if (readHeader()) readSignals();
    file_.close();
    return true;
}

void ResFile::close() {
    file_.close();
    record.clear();
    gaussian.clear();
    spike.clear();
    gaussians.reset();
    spikes.reset();
}
