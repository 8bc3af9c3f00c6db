// The client directory reader: which of the client's three files give which fields.
#include "clientfiles/SHLog.h"

#include "clientfiles/ResFile.h"
#include "record/FindFile.h"

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
    // A header read still in progress must not be overwritten by a second read.
    if (file_.isOpen()) return false;
    record.clear();
    record.Update = openedAt;

    bool resultFound = false;
    {
        ResFile result(dir + "result.sah");
        // A result that names no work unit (an empty file, the later client's XML result) is
        // no result: the store would refuse its record, and taking it would hide the work
        // unit in progress that work_unit.sah and state.sah describe.
        if (result.read() && !result.record.name.empty()) {
            record = result.record;
            resultFound = true;
        }
        result.close();
    }

    bool dataFound = resultFound;
    FindFile finder;
    if (!finder.find(dir + "work_unit.sah").empty()) {
        // The work unit file is written once, when the unit arrives: its time is the arrival.
        record.TimeStamp.parseLocal(finder.modified);
        finder.close();
        if (resultFound) return true;
        if (readHeaderFile("work_unit.sah")) dataFound = true;
    }
    if (readHeaderFile("state.sah")) dataFound = true;
    return dataFound;
}

bool SHLog::readBytes(const ClientFiles& files) {
    // The same precedence as read, file for file.
    if (file_.isOpen()) return false;
    record.clear();
    record.Update = openedAt;

    bool resultFound = false;
    if (files.result) {
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
    if (files.workUnit) {
        record.TimeStamp.parseLocal(files.workUnitModified);
        if (resultFound) return true;
        if (readHeaderBytes(*files.workUnit)) dataFound = true;
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

bool SHLog::readHeaderFile(const std::string& fileName) {
    if (!file_.open(dir + fileName)) return false;
    const bool read = readHeader();
    file_.close();
    return read;
}

bool SHLog::readHeader() {
    if (!file_.isOpen()) return false;
    while (file_.readLine()) {
        if (file_.key.empty()) continue;
        if (file_.value.empty()) {
            if (file_.key == "end_seti_header") break;
            continue;
        }
        applyHeaderValue(record, file_.key, file_.value);
    }
    return true;
}
