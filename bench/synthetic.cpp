// Synthetic work units: deterministic, with every field set, so readers and writers do their
// full work.
#include "bench/synthetic.h"

#include "record/Numbers.h"

namespace {

// A small deterministic generator, so every run builds the same data.
double unit(std::uint32_t i, std::uint32_t salt) {
    std::uint32_t x = i * 2654435761u ^ (salt * 40503u + 0x9e3779b9u);
    x ^= x >> 15;
    x *= 2246822519u;
    x ^= x >> 13;
    return static_cast<double>(x % 1000000u) / 1000000.0;
}

std::string unitName(std::uint32_t i) {
    std::string n = "bench";
    appendPadded(n, i / 1000, 5);
    n += "aa.";
    appendInt(n, 10000 + i % 20000);
    n += ".";
    appendInt(n, i % 977);
    n += ".3.42.";
    appendInt(n, i % 256);
    return n;
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
        "\"Unit Name\",\"Received\",\"From(RA)\",\"From(Dec)\",\"Time(UT)\",\"Base Freq\","
        "\" Samples\",\"CPU Time\",\"Progress\",\"Power(Spike)\",\"Score(Gaussians)\","
        "\"Fit(Gaussians)\"\r\n";
    for (std::uint32_t i = first; i < first + count; ++i) {
        WorkUnit w = syntheticWorkUnit(i, 1);
        out += w.name;
        out += ",2003/05/";
        appendPadded(out, 1 + i % 28, 2);
        out += " 12:00:00,";
        appendFixed(out, w.start_ra, 6);
        out += ',';
        appendFixed(out, w.start_dec, 6);
        out += ",2002/01/02 03:04:05,";
        appendFixed(out, w.subband_base, 6);
        out += ',';
        appendInt(out, w.nsamples);
        out += ',';
        appendFixed(out, w.cpu, 6);
        out += ',';
        appendFixed(out, w.prog, 6);
        out += ',';
        appendFixed(out, w.bs_power, 6);
        out += ',';
        appendFixed(out, w.bg_score, 6);
        out += ',';
        appendFixed(out, w.bg_chisq, 6);
        out += "\r\n";
    }
    return out;
}
