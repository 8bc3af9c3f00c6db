// The client directory reader: which of the client's three files give which fields.
#include "clientfiles/SHLog.h"

#include <optional>

#include "clientfiles/ResFile.h"
#include "options/FindFile.h"
#include "platform/platform.h"

namespace {

std::optional<std::string> bytesOf(const std::string& path) {
    std::string bytes;
    if (!platform::readFile(path, bytes)) return std::nullopt;
    return bytes;
}

}  // namespace

SHLog::SHLog() = default;

SHLog::SHLog(const std::string& directory) : SHLog() { open(directory); }

bool SHLog::open(const std::string& directory) {
    close();
    dir = directory;
    openedAt.setNow();
    return true;
}

void SHLog::close() {
    if (file_.isOpen()) file_.close();
    dir.clear();
    record.clear();
}

bool SHLog::read() {
    // A file that is found (no directory) but does not read: result.sah then counts as none,
    // while work_unit.sah still gives its time.
    ClientFiles files;
    FindFile finder;
    if (!finder.find(dir + "result.sah").empty()) {
        files.resultModified = finder.modified;
        files.result = bytesOf(dir + "result.sah");
    }
    if (!finder.find(dir + "work_unit.sah").empty()) {
        files.workUnitModified = finder.modified;
        files.workUnit = bytesOf(dir + "work_unit.sah");
        files.workUnitUnreadable = !files.workUnit;
    }
    finder.close();
    files.state = bytesOf(dir + "state.sah");
    return readBytes(files);
}

bool SHLog::readBytes(const ClientFiles& files) {
    // A header read still in progress must not be overwritten by a second read.
    if (file_.isOpen()) return false;
    record.clear();
    record.Update = openedAt;

    bool resultFound = false;
    if (files.result) {
        // A result that names no work unit (an empty file, the later client's XML result) is
        // no result: the store would refuse its record, and taking it would hide the work
        // unit in progress that work_unit.sah and state.sah describe.
        ResFile result;
        result.openBytes(*files.result);
        result.record.Update.parseLocal(files.resultModified);
        result.record.TimeStamp = result.record.Update;
        if (result.read() && !result.record.name.empty()) {
            record = result.record;
            resultFound = true;
        }
    }

    bool dataFound = resultFound;
    if (files.workUnit || files.workUnitUnreadable) {
        // The work unit file is written once, when the unit arrives: its time is the arrival.
        record.TimeStamp.parseLocal(files.workUnitModified);
        if (resultFound) return true;
        if (files.workUnit && readHeaderBytes(*files.workUnit)) dataFound = true;
    }
    if (files.state && readHeaderBytes(*files.state)) dataFound = true;
    return dataFound;
}

bool SHLog::readHeaderBytes(const std::string& bytes) {
    file_.openBytes(bytes, true);
    const bool read = readHeader();
    file_.close();
    return read;
}

bool SHLog::readHeader() {
    if (!file_.isOpen()) return false;
    readHeaderLines(file_, record);
    return true;
}
