// Reader of the client's result file: the key maps, opening with the file's time, the header
// section and closing. The signal section is in ResFileSignals.cpp.
#include "clientfiles/ResFile.h"

#include <utility>

#include "record/FindFile.h"
#include "record/Numbers.h"

namespace {

constexpr int TimeRecordedField = 9;

}  // namespace

std::map<std::string, int> makeHeaderKeys() {
    std::map<std::string, int> keys;
    // "Update" (0) and "TimeStamp" (1) are never taken from a client file: both come from
    // file times.
    for (int i = 2; i < WorkUnitFieldCount; ++i) keys.emplace(WorkUnitFieldNames[i], i);
    keys.emplace("cpu_time", fieldIndex("cpu"));
    return keys;
}

void applyHeaderValue(const std::map<std::string, int>& headerKeys, WorkUnit& record,
                      const std::string& key, const std::string& value) {
    const auto found = headerKeys.find(key);
    if (found == headerKeys.end()) return;
    if (found->second == TimeRecordedField) {
        // A Julian Date; the client may follow it with the date in brackets, which the
        // number reader leaves behind.
        double jd = 0;
        if (readReal(value, jd)) record.time_recorded.setJulian(jd);
        return;
    }
    record.setField(found->second, value);
}

ResFile::ResFile() : HeaderKeys(makeHeaderKeys()) {
    for (int i = 2; GaussianKeys[i] != nullptr; ++i) gaussianKeys_.emplace(GaussianKeys[i], i);
    gaussianKeys_.emplace("pot", 77);
    for (int i = 2; SpikeKeys[i] != nullptr; ++i) spikeKeys_.emplace(SpikeKeys[i], i);
}

ResFile::ResFile(const std::string& path) : ResFile() { open(path); }

bool ResFile::open(const std::string& path) {
    close();
    FindFile finder;
    if (finder.find(path).empty()) return false;
    // The file's last-write time arrives as local text; setLocal turns it back into UTC.
    record.Update.parseLocal(finder.modified);
    record.TimeStamp = record.Update;
    finder.close();
    return file_.open(path);
}

bool ResFile::openBytes(std::string bytes) {
    close();
    return file_.openBytes(std::move(bytes), true);
}

bool ResFile::read() {
    if (!file_.isOpen()) return false;
    record.prog = 1.0;  // a finished result; a "prog" header line overrides it
    while (file_.readLine()) {
        if (file_.key.empty()) continue;
        if (file_.value.empty()) {
            if (file_.key == "end_seti_header") {
                readSignals();
                break;
            }
            continue;
        }
        applyHeaderValue(file_.key, file_.value);
    }
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

void ResFile::applyHeaderValue(const std::string& key, const std::string& value) {
    ::applyHeaderValue(HeaderKeys, record, key, value);
}
