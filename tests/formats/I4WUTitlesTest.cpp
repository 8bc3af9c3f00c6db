// Every column title I4WU writes lands its value in the right field: the titles are written
// out here as the exports carry them, so a misspelt title in the reader fails this test.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "formats/I4WU.h"

namespace {

struct Column {
    const char* title;
    const char* cell;
    std::function<bool(const WorkUnit&)> landed;
};

}  // namespace

TEST(I4WUTitles, EveryTitleFillsItsField) {
    using W = const WorkUnit&;
    const std::vector<Column> columns = {
        {"Update", "2004/01/20 12:00:00", [](W w) { return w.Update.isSet(); }},
        {"Received", "2004/01/19 12:00:00", [](W w) { return w.TimeStamp.isSet(); }},
        {"SETI Version", "3", [](W w) { return w.version == 3; }},
        {"Unit Name", "wu.1", [](W w) { return w.name == "wu.1"; }},
        {"Splitter Version", "10", [](W w) { return w.splitter_version == 16; }},
        {"From(RA)", "5.5", [](W w) { return w.start_ra == 5.5; }},
        {"From(Dec)", "6.5", [](W w) { return w.start_dec == 6.5; }},
        {"To(RA)", "7.5", [](W w) { return w.end_ra == 7.5; }},
        {"To(Dec)", "8.5", [](W w) { return w.end_dec == 8.5; }},
        {"Time(UT)", "2003/12/01 00:00:00", [](W w) { return w.time_recorded.isSet(); }},
        {"Center Freq", "10.5", [](W w) { return w.subband_center == 10.5; }},
        {"Base Freq", "11.5", [](W w) { return w.subband_base == 11.5; }},
        {"Rate", "12.5", [](W w) { return w.subband_sample_rate == 12.5; }},
        {" Samples", "13", [](W w) { return w.nsamples == 13; }},
        {"angle_range", "14.5", [](W w) { return w.angle_range == 14.5; }},
        {"fft_len", "15", [](W w) { return w.fft_len == 15; }},
        {"ifft_len", "16", [](W w) { return w.ifft_len == 16; }},
        {"subband_number", "17", [](W w) { return w.subband_number == 17; }},
        {"receiver", "rx", [](W w) { return w.receiver == "rx"; }},
        {"tape_version", "tv", [](W w) { return w.tape_version == "tv"; }},
        {"CPU Time", "20.5", [](W w) { return w.cpu == 20.5; }},
        {"Progress", "0.25", [](W w) { return w.prog == 0.25; }},
        {"Power(Spike)", "22.5", [](W w) { return w.bs_power == 22.5; }},
        {"Score(Spike)", "23.5", [](W w) { return w.bs_score == 23.5; }},
        {"bs_bin", "24", [](W w) { return w.bs_bin == 24; }},
        {"bs_fft_ind", "25", [](W w) { return w.bs_fft_ind == 25; }},
        {"Chirp Rate(Spike)", "26.5", [](W w) { return w.bs_chirp_rate == 26.5; }},
        {"bs_fft_len", "27", [](W w) { return w.bs_fft_len == 27; }},
        {"Score(Gaussians)", "28.5", [](W w) { return w.bg_score == 28.5; }},
        {"Sigma(Gaussians)", "29.5", [](W w) { return w.bg_sigma == 29.5; }},
        {"Power(Gaussians)", "30.5", [](W w) { return w.bg_power == 30.5; }},
        {"True Mean(Gaussians)", "31.5", [](W w) { return w.bg_true_mean == 31.5; }},
        {"Fit(Gaussians)", "32.5", [](W w) { return w.bg_chisq == 32.5; }},
        {"bg_bin", "33", [](W w) { return w.bg_bin == 33; }},
        {"t0(Gaussians)", "34", [](W w) { return w.bg_fft_ind == 34; }},
        {"Chirp Rate(Gaussians)", "35.5", [](W w) { return w.bg_chirp_rate == 35.5; }},
        {"bg_fft_len", "36", [](W w) { return w.bg_fft_len == 36; }},
        {"bg_pot 0", "0.5", [](W w) { return w.bg_pot[0] == 0.5; }},
        {"bg_pot 63", "63.5", [](W w) { return w.bg_pot[63] == 63.5; }},
    };
    // Every column in its own export, so a value that lands elsewhere cannot hide behind one
    // that landed right.
    for (const Column& column : columns) {
        SCOPED_TRACE(column.title);
        I4WU reader;
        // A header row opens with a title that starts with a letter, a data row without a quote.
        reader.openBytes(std::string("\"Unit Name\",\"") + column.title + "\"\nwu.1," +
                         column.cell + "\n");
        ASSERT_TRUE(reader.readRecord());
        EXPECT_TRUE(column.landed(reader.record));
    }
}
