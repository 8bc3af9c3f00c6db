// The I4WU export reader: title table, header rows and the conversion of each cell.
#include "formats/I4WU.h"

#include <utility>

#include "formats/TableRows.h"

const char* const I4WUColumnTitles[102] = {
    "Update", "Received", "SETI Version", "Unit Name", "Splitter Version",
    "From(RA)", "From(Dec)", "To(RA)", "To(Dec)", "Time(UT)",
    "Center Freq", "Base Freq", "Rate", " Samples", "angle_range",
    "fft_len", "ifft_len", "subband_number", "receiver", "tape_version",
    "CPU Time", "Progress", "Power(Spike)", "Score(Spike)", "bs_bin",
    "bs_fft_ind", "Chirp Rate(Spike)", "bs_fft_len", "Score(Gaussians)", "Sigma(Gaussians)",
    "Power(Gaussians)", "True Mean(Gaussians)", "Fit(Gaussians)", "bg_bin", "t0(Gaussians)",
    "Chirp Rate(Gaussians)", "bg_fft_len",
    "bg_pot 0", "bg_pot 1", "bg_pot 2", "bg_pot 3", "bg_pot 4", "bg_pot 5", "bg_pot 6",
    "bg_pot 7", "bg_pot 8", "bg_pot 9", "bg_pot 10", "bg_pot 11", "bg_pot 12", "bg_pot 13",
    "bg_pot 14", "bg_pot 15", "bg_pot 16", "bg_pot 17", "bg_pot 18", "bg_pot 19", "bg_pot 20",
    "bg_pot 21", "bg_pot 22", "bg_pot 23", "bg_pot 24", "bg_pot 25", "bg_pot 26", "bg_pot 27",
    "bg_pot 28", "bg_pot 29", "bg_pot 30", "bg_pot 31", "bg_pot 32", "bg_pot 33", "bg_pot 34",
    "bg_pot 35", "bg_pot 36", "bg_pot 37", "bg_pot 38", "bg_pot 39", "bg_pot 40", "bg_pot 41",
    "bg_pot 42", "bg_pot 43", "bg_pot 44", "bg_pot 45", "bg_pot 46", "bg_pot 47", "bg_pot 48",
    "bg_pot 49", "bg_pot 50", "bg_pot 51", "bg_pot 52", "bg_pot 53", "bg_pot 54", "bg_pot 55",
    "bg_pot 56", "bg_pot 57", "bg_pot 58", "bg_pot 59", "bg_pot 60", "bg_pot 61", "bg_pot 62",
    "bg_pot 63", nullptr};

namespace {

// I4WU exports carry neither receiver nor tape version: every row gets the receiver of the
// work units of its time and an unknown tape. (Held as strings: assigning the literals trips a
// false -Wrestrict warning in GCC 12 at -O2.)
const std::string Receiver = "ao1420";
const std::string TapeVersion = "?";

}  // namespace

I4WU::I4WU() {
    for (int i = 0; i < WorkUnitFieldCount; ++i) {
        keyIndex.emplace(I4WUColumnTitles[i], i);
        columns.push_back(i);
    }
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
    const TableLine line = nextTableLine(file_, keyIndex, columns, cell_);
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
    case 0: record.Update.parseLocal(cell); break;
    case 1: record.TimeStamp.parseLocal(cell); break;
    case 9: record.time_recorded.parseUtc(cell); break;
    default: record.setField(column, cell); break;  // -1 and other non-fields change nothing
    }
}
