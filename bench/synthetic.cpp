// Synthetic work units and their files: deterministic, with every field set, so readers and
// writers do their full work.
#include "bench/synthetic.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "record/ATime.h"
#include "text/Numbers.h"

namespace {

// A small deterministic generator, so every run builds the same data: a value in [0, 1).
double unit(std::uint32_t i, std::uint32_t salt) {
    std::uint32_t x = i * 2654435761u ^ (salt * 40503u + 0x9e3779b9u);
    x ^= x >> 15;
    x *= 2246822519u;
    x ^= x >> 13;
    return static_cast<double>(x % 1000000u) / 1000000.0;
}

// Names shaped as the splitter makes them: tape date and letters, then numbers; the
// third and fourth parts together hold i, so no two units share a name.
std::string unitName(std::uint32_t i) {
    static constexpr std::array<const char*, 12> Months = {"ja", "fe", "mr", "ap", "my", "jn",
                                                           "jl", "au", "se", "oc", "no", "de"};
    std::string n;
    appendPadded(n, 1 + i % 28, 2);
    n += Months[(i / 28) % 12];
    appendPadded(n, 1 + (i / 336) % 4, 2);
    n += 'a';
    n += static_cast<char>('a' + (i / 1344) % 26);
    n += '.';
    appendInt(n, 1000 + static_cast<std::int64_t>(unit(i, 20) * 9000));
    n += '.';
    appendInt(n, 10000 + i % 60000);
    n += '.';
    appendInt(n, 100000 + i / 60000);
    n += '.';
    appendInt(n, i % 256);
    return n;
}

// "yyyy/mm/dd hh:mm:ss", the date layout of both exports.
void appendDate(std::string& out, const ATime& t) {
    appendPadded(out, t.year, 4);
    out += '/';
    appendPadded(out, t.month, 2);
    out += '/';
    appendPadded(out, t.day, 2);
    out += ' ';
    appendPadded(out, t.hour, 2);
    out += ':';
    appendPadded(out, t.minute, 2);
    out += ':';
    appendPadded(out, t.second, 2);
}

void appendCell(std::string& out, double value, int decimals) {
    out += ',';
    appendFixed(out, value, decimals);
}

void appendCell(std::string& out, std::int64_t value) {
    out += ',';
    appendInt(out, value);
}

void appendCell(std::string& out, const std::string& text) {
    out += ',';
    out += text;
}

}  // namespace

WorkUnit syntheticWorkUnit(std::uint32_t i, int reading) {
    WorkUnit w;
    w.name = unitName(i);
    w.version = 303;
    w.splitter_version = 0x3;
    w.start_ra = 24.0 * unit(i, 1);
    w.end_ra = w.start_ra + 0.01;
    w.start_dec = 60.0 * unit(i, 2) - 20.0;
    w.end_dec = w.start_dec + 0.02;
    w.time_recorded.setJulian(2451544.5 + 1000.0 * unit(i, 3));
    w.TimeStamp.setJulian(2452000.5 + 1500.0 * unit(i, 4));
    w.Update.setJulian(2452000.5 + 1500.0 * unit(i, 4) + 0.5 * (reading + 1));
    w.nsamples = 1048576;
    w.subband_sample_rate = 9765.625;
    w.subband_base = 1418750000.0 + 9765.625 * (i % 256);
    w.subband_center = w.subband_base + 4882.8125;
    w.angle_range = 0.4 * unit(i, 5);
    w.fft_len = 2048;
    w.ifft_len = 8;
    w.subband_number = static_cast<std::int32_t>(i % 256);
    w.receiver = "ao1420";
    w.tape_version = "4.0";
    w.prog = 0.25 * (reading + 1);
    w.cpu = 20000.0 * w.prog + 100.0 * unit(i, 6);
    w.bs_power = 20.0 * unit(i, 7) + reading;
    w.bs_score = w.bs_power / 20.0;
    w.bs_bin = static_cast<std::int32_t>(i % 65536);
    w.bs_fft_ind = static_cast<std::int32_t>(i % 8);
    w.bs_chirp_rate = 10.0 * unit(i, 8) - 5.0;
    w.bs_fft_len = 131072;
    w.bg_power = 3.0 * unit(i, 9) + 1.0;
    w.bg_chisq = 1.0 + unit(i, 10);
    w.bg_score = w.bg_power / w.bg_chisq;
    w.bg_sigma = 4.0 + unit(i, 11);
    w.bg_true_mean = unit(i, 12);
    w.bg_bin = static_cast<std::int32_t>(i % 1024);
    w.bg_fft_ind = static_cast<std::int32_t>(i % 64);
    w.bg_fft_len = 16384;
    w.bg_chirp_rate = 2.0 * unit(i, 13) - 1.0;
    for (int p = 0; p < 64; ++p) w.bg_pot[p] = 5.0 * unit(i, 100 + p);
    return w;
}

std::string syntheticI4wuExport(std::uint32_t first, std::uint32_t count) {
    std::string out =
        "\"Unit Name\",\"Received\",\"Update\",\"SETI Version\",\"Splitter Version\","
        "\"From(RA)\",\"From(Dec)\",\"To(RA)\",\"To(Dec)\",\"Time(UT)\",\"Center Freq\","
        "\"Base Freq\",\"Rate\",\" Samples\",\"CPU Time\",\"Progress\",\"Power(Spike)\","
        "\"Score(Spike)\",\"Chirp Rate(Spike)\",\"Score(Gaussians)\",\"Sigma(Gaussians)\","
        "\"Power(Gaussians)\",\"True Mean(Gaussians)\",\"Fit(Gaussians)\",\"t0(Gaussians)\","
        "\"Chirp Rate(Gaussians)\",\"Comment\"\r\n";
    out.reserve(out.size() + static_cast<std::size_t>(count) * 330);
    for (std::uint32_t i = first; i < first + count; ++i) {
        const WorkUnit w = syntheticWorkUnit(i, 1);
        out += w.name;
        out += ',';
        appendDate(out, w.TimeStamp);
        out += ',';
        appendDate(out, w.Update);
        appendCell(out, w.version);
        out += ",0x";
        appendInt(out, w.splitter_version);
        appendCell(out, w.start_ra, 5);
        appendCell(out, w.start_dec, 5);
        appendCell(out, w.end_ra, 5);
        appendCell(out, w.end_dec, 5);
        out += ',';
        appendDate(out, w.time_recorded);
        appendCell(out, w.subband_center, 4);
        appendCell(out, w.subband_base, 4);
        appendCell(out, w.subband_sample_rate, 3);
        appendCell(out, w.nsamples);
        appendCell(out, w.cpu, 6);
        appendCell(out, w.prog, 6);
        appendCell(out, w.bs_power, 6);
        appendCell(out, w.bs_score, 6);
        appendCell(out, w.bs_chirp_rate, 6);
        appendCell(out, w.bg_score, 6);
        appendCell(out, w.bg_sigma, 6);
        appendCell(out, w.bg_power, 6);
        appendCell(out, w.bg_true_mean, 6);
        appendCell(out, w.bg_chisq, 6);
        appendCell(out, w.bg_fft_ind);
        appendCell(out, w.bg_chirp_rate, 6);
        out += (i % 3 == 0) ? ",\"home, desk PC\"\r\n" : ",\"office\"\r\n";
    }
    return out;
}

std::string syntheticSetiLogExport(std::uint32_t first, std::uint32_t count) {
    std::string out =
        "\"date\",\"name\",\"version\",\"splitter_version\",\"start_ra\",\"start_dec\","
        "\"end_ra\",\"end_dec\",\"time_recorded\",\"subband_center\",\"subband_base\","
        "\"subband_sample_rate\",\"nsamples\",\"angle_range\",\"fft_len\",\"ifft_len\","
        "\"subband_number\",\"receiver\",\"tape_version\",\"cpu\",\"prog\",\"bs_power\","
        "\"bs_score\",\"bs_bin\",\"bs_fft_ind\",\"bs_chirp_rate\",\"bs_fft_len\",\"bg_score\","
        "\"bg_sigma\",\"bg_power\",\"bg_true_mean\",\"bg_chisq\",\"bg_bin\",\"g_fft_ind\","
        "\"bg_chirp_rate\",\"bg_fft_len\"\r\n";
    // SETILog appends a row as each unit finishes: the rows run in date order.
    std::vector<std::pair<double, std::uint32_t>> order;
    order.reserve(count);
    for (std::uint32_t i = first; i < first + count; ++i)
        order.emplace_back(syntheticWorkUnit(i, 1).Update.julianDate(), i);
    std::sort(order.begin(), order.end());
    out.reserve(out.size() + static_cast<std::size_t>(count) * 330);
    for (const auto& entry : order) {
        const WorkUnit w = syntheticWorkUnit(entry.second, 1);
        appendDate(out, w.Update);
        appendCell(out, w.name);
        out += ",3.03";
        appendCell(out, w.splitter_version);
        appendCell(out, w.start_ra, 5);
        appendCell(out, w.start_dec, 5);
        appendCell(out, w.end_ra, 5);
        appendCell(out, w.end_dec, 5);
        appendCell(out, w.time_recorded.julianDate(), 5);
        appendCell(out, w.subband_center, 3);
        appendCell(out, w.subband_base, 3);
        appendCell(out, w.subband_sample_rate, 3);
        appendCell(out, w.nsamples);
        appendCell(out, w.angle_range, 6);
        appendCell(out, w.fft_len);
        appendCell(out, w.ifft_len);
        appendCell(out, w.subband_number);
        appendCell(out, w.receiver);
        appendCell(out, w.tape_version);
        appendCell(out, w.cpu, 6);
        appendCell(out, w.prog, 6);
        appendCell(out, w.bs_power, 6);
        appendCell(out, w.bs_score, 6);
        appendCell(out, w.bs_bin);
        appendCell(out, w.bs_fft_ind);
        appendCell(out, w.bs_chirp_rate, 6);
        appendCell(out, w.bs_fft_len);
        appendCell(out, w.bg_score, 6);
        appendCell(out, w.bg_sigma, 6);
        appendCell(out, w.bg_power, 6);
        appendCell(out, w.bg_true_mean, 6);
        appendCell(out, w.bg_chisq, 6);
        appendCell(out, w.bg_bin);
        appendCell(out, w.bg_fft_ind);
        appendCell(out, w.bg_chirp_rate, 6);
        appendCell(out, w.bg_fft_len);
        out += "\r\n";
    }
    return out;
}

namespace {

constexpr std::array<const char*, 7> WeekDays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 12> MonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// "2453108.64412 (Tue Apr 13 03:27:32 2004)": the client's Julian Date and its date text.
void appendRecordedTime(std::string& out, const ATime& t) {
    appendFixed(out, t.julianDate(), 5);
    out += " (";
    const std::int64_t mjd = ATime::mjd(t.year, t.month, t.day);
    out += WeekDays[static_cast<std::size_t>(((mjd + 3) % 7 + 7) % 7)];
    out += ' ';
    out += MonthNames[static_cast<std::size_t>(t.month - 1)];
    out += ' ';
    appendPadded(out, t.day, 2);
    out += ' ';
    appendPadded(out, t.hour, 2);
    out += ':';
    appendPadded(out, t.minute, 2);
    out += ':';
    appendPadded(out, t.second, 2);
    out += ' ';
    appendInt(out, t.year);
    out += ")\n";
}

void appendHeaderLine(std::string& out, const char* key, double value, int decimals) {
    out += key;
    out += '=';
    appendFixed(out, value, decimals);
    out += '\n';
}

void appendHeaderLine(std::string& out, const char* key, std::int64_t value) {
    out += key;
    out += '=';
    appendInt(out, value);
    out += '\n';
}

void appendHeader(std::string& out, const WorkUnit& w) {
    out += "type=result\ntask=seti\nversion=3\nname=" + w.name +
           "\ndata_type=encoded\ndata_length=354991\nsender=SETI@home project\n"
           "tape_version=" +
           w.tape_version + "\nreceiver=" + w.receiver + "\n";
    appendHeaderLine(out, "start_ra", w.start_ra, 5);
    appendHeaderLine(out, "start_dec", w.start_dec, 5);
    appendHeaderLine(out, "end_ra", w.end_ra, 5);
    appendHeaderLine(out, "end_dec", w.end_dec, 5);
    out += "time_recorded=";
    appendRecordedTime(out, w.time_recorded);
    appendHeaderLine(out, "subband_center", w.subband_center, 3);
    appendHeaderLine(out, "subband_base", w.subband_base, 3);
    appendHeaderLine(out, "subband_sample_rate", w.subband_sample_rate, 3);
    appendHeaderLine(out, "fft_len", w.fft_len);
    appendHeaderLine(out, "ifft_len", w.ifft_len);
    appendHeaderLine(out, "subband_number", w.subband_number);
    appendHeaderLine(out, "nsamples", w.nsamples);
    appendHeaderLine(out, "angle_range", w.angle_range, 6);
    out += "splitter_version=";
    appendHex(out, w.splitter_version);
    out += '\n';
    appendHeaderLine(out, "cpu_time", w.cpu, 6);
    appendHeaderLine(out, "prog", 0.999998, 6);
    appendHeaderLine(out, "bs_power", w.bs_power, 6);
    appendHeaderLine(out, "bs_score", w.bs_score, 6);
    appendHeaderLine(out, "bs_bin", w.bs_bin);
    appendHeaderLine(out, "bs_fft_ind", w.bs_fft_ind);
    appendHeaderLine(out, "bs_chirp_rate", w.bs_chirp_rate, 6);
    appendHeaderLine(out, "bs_fft_len", w.bs_fft_len);
    appendHeaderLine(out, "bg_score", w.bg_score, 6);
    appendHeaderLine(out, "bg_sigma", w.bg_sigma, 6);
    appendHeaderLine(out, "bg_power", w.bg_power, 6);
    appendHeaderLine(out, "bg_true_mean", w.bg_true_mean, 6);
    appendHeaderLine(out, "bg_chisq", w.bg_chisq, 6);
    appendHeaderLine(out, "bg_bin", w.bg_bin);
    appendHeaderLine(out, "bg_fft_ind", w.bg_fft_ind);
    appendHeaderLine(out, "bg_chirp_rate", w.bg_chirp_rate, 6);
    appendHeaderLine(out, "bg_fft_len", w.bg_fft_len);
    for (int p = 0; p < 64; ++p) {
        out += "bg_pot ";
        appendInt(out, p);
        out += '=';
        appendFixed(out, w.bg_pot[p], 6);
        out += '\n';
    }
    out += "end_seti_header\n";
}

// The four searches the client reports, as context: FFT count, FFT length.
struct Search {
    int ncfft;
    int fl;
};
constexpr std::array<Search, 4> Searches = {{{8, 131072}, {128, 16384}, {32, 4096}, {2, 65536}}};
constexpr std::uint32_t RunLength = 40;  // signal lines under one context line

void appendContext(std::string& out, const char* tag, const Search& s, double chirp) {
    out += tag;
    out += " ncfft=";
    appendInt(out, s.ncfft);
    out += " cr=";
    appendFixed(out, chirp, 6);
    out += " fl=";
    appendInt(out, s.fl);
    out += ">\n";
}

// 64 power values as hex pairs: a bell over noise, its top at FF.
void appendPotCurve(std::string& out, std::uint32_t i, double width) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    const double centre = 28.0 + 8.0 * unit(i, 40);
    for (int k = 0; k < 64; ++k) {
        const double d = (k - centre) / width;
        const double value =
            40.0 * unit(i * 64u + static_cast<std::uint32_t>(k), 41) + 215.0 * std::exp(-d * d);
        const int v = std::clamp(static_cast<int>(value), 0, 255);
        out += Hex[v >> 4];
        out += Hex[v & 15];
    }
}

}  // namespace

std::string syntheticResultFile(std::uint32_t signals) {
    const WorkUnit w = syntheticWorkUnit(0);
    std::string out;
    out.reserve(8192 + static_cast<std::size_t>(signals) * 200);
    appendHeader(out, w);
    const double start = w.time_recorded.julianDate();
    // Each signal's frequency is its own: the lines' indices spread over the subband in a
    // shuffled order, more than 0.01 Hz apart while signals < 976,562.
    const std::uint64_t stride = (signals % 7919 == 0) ? 1 : 7919;
    Search search{};
    double chirp = 0.0;
    for (std::uint32_t i = 0; i < signals; ++i) {
        if (i % RunLength == 0) {
            if (i > 0) appendContext(out, "<ogt", search, chirp);
            search = Searches[(i / RunLength) % Searches.size()];
            chirp = (search.ncfft == 32) ? 0.0 : 60.0 * unit(i, 30) - 30.0;
            appendContext(out, "<ogh", search, chirp);
        }
        const std::uint64_t slot = (i * stride) % signals;
        const double freq = w.subband_base + w.subband_sample_rate * static_cast<double>(slot) /
                                                 static_cast<double>(signals);
        const double ra = w.start_ra + (w.end_ra - w.start_ra) * unit(i, 31);
        const double dec = w.start_dec + (w.end_dec - w.start_dec) * unit(i, 32);
        const double time = start + 0.00124 * static_cast<double>(i) / signals;
        // The client writes some lines with a blank after each "=".
        const char* sep = (i % 7 == 6) ? "= " : "=";
        const bool gaussian = i % 5 == 1 || i % 5 == 3;
        out += gaussian ? "gaussian: peak" : "spike: power";
        out += sep;
        appendFixed(out, gaussian ? 1.0 + 3.0 * unit(i, 33) : 18.0 + 8.0 * unit(i, 33), 6);
        if (gaussian) {
            out += " mean";
            out += sep;
            appendFixed(out, 0.8 + 0.5 * unit(i, 34), 6);
        }
        out += " ra";
        out += sep;
        appendFixed(out, ra, 4);
        out += " dec";
        out += sep;
        appendFixed(out, dec, 4);
        out += " time";
        out += sep;
        appendFixed(out, time, 5);
        out += " freq";
        out += sep;
        appendFixed(out, freq, 2);
        if (gaussian) {
            const double sigma = 2.0 + 6.0 * unit(i, 35);
            if (i % 11 == 3) {
                out += " chirprate=";
                appendFixed(out, chirp + 0.5 * unit(i, 36), 6);
            }
            out += " sigma=";
            appendFixed(out, sigma, 6);
            out += " chisqr=";
            appendFixed(out, 1.0 + 2.5 * unit(i, 37), 6);
            out += " maxpow=";
            appendFixed(out, 1.0 + 2.0 * unit(i, 38), 6);
            out += " pot=";
            appendPotCurve(out, i, sigma);
        } else if (i % 9 == 4) {
            out += " fft_len=";
            appendInt(out, search.fl);
            out += " chirp_rate=";
            appendFixed(out, chirp, 6);
        }
        out += '\n';
    }
    if (signals > 0) appendContext(out, "<ogt", search, chirp);
    return out;
}
