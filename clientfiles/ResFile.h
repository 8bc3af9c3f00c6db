// Reader of the client's result file: the header into a WorkUnit, then every spike and
// gaussian of the signal section, the strongest of each applied as the best signals.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "record/Signals.h"
#include "record/WorkUnit.h"
#include "text/TextFiles.h"

// Stores one header value into `record`: the keys are every record key but "Update" and
// "TimeStamp", plus "cpu_time" for cpu; unknown keys are ignored. time_recorded is a Julian
// Date (trailing text ignored). Shared with the client directory reader.
void applyHeaderValue(WorkUnit& record, std::string_view key, std::string_view value);
// Applies the header lines of the file open in `file` to `record` until its end or an
// "end_seti_header" line without a value; lines without a key or a value change nothing.
// True when that line ended the header. Shared with the client directory reader.
bool readHeaderLines(INIFile& file, WorkUnit& record);

class ResFile {
public:
    ResFile() = default;
    // Opens the file at once (see open); isOpen or read tells whether that worked.
    explicit ResFile(const std::string& path);
    ResFile(const ResFile&) = delete;
    ResFile& operator=(const ResFile&) = delete;
    ~ResFile() { close(); }

    WorkUnit record;
    Gaussian gaussian;  // after a read: the best gaussian
    Spike spike;        // after a read: the best spike
    GaussianList gaussians;
    SpikeList spikes;
    double cr = 0;
    std::int32_t ncfft = 0;
    std::int32_t fl = 0;

    // Finds the file (directories do not count), takes its last-write time into Update and
    // TimeStamp, and opens it as text. False when there is no such file (record cleared) or it
    // does not open (the times stay).
    bool open(const std::string& path);
    // Opens a result file's bytes held in memory, as open does with the file; there is no
    // file time, so Update and TimeStamp stay unset. Always true.
    bool openBytes(std::string bytes);
    bool isOpen() const { return file_.isOpen(); }
    // Header, then the signal section; always ends with the file closed. False when no file
    // was open.
    bool read();
    // Closes the file and clears what a read produced.
    void close();

private:
    // The header lines as readHeaderLines takes them; true when the header ended.
    bool readHeader();
    void readSignals();
    void parseContextLine(std::string_view rest);
    // The time tokens of the signal lines, read once for each different text.
    class TimeReader;
    // Seeds `signal` with `seed` (the header's values) and the context line, reads the line's
    // tokens over it and adds it to `list`.
    template <class Signal>
    void parseSignalLine(std::string_view rest, const Signal& seed, Signal& signal,
                         SignalList<Signal>& list, TimeReader& times);

    // Lines are taken as views: the signal section is most of the file, and copying each
    // line and splitting it at "=" as INIFile does would only be thrown away.
    LineSource file_;
};
