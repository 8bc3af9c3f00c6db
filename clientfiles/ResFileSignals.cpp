// The signal section of a result file: context, spike and gaussian lines, and the choice of
// the strongest spike and gaussian as the work unit's best signals.
#include <array>
#include <cctype>
#include <string>
#include <string_view>

#include "clientfiles/ResFile.h"
#include "record/Numbers.h"

namespace {

constexpr int GaussianPotKey = 77;  // "pot": the whole power curve as hex pairs

// Calls store(key, value) for each "key=value" token of a signal line. The key is the text
// before "=" as it stands, so "ra = 1" gives the key "ra " that matches nothing; blanks after
// "=" are skipped (real clients write "dec= 28.58"); the value runs to the next blank.
template <typename Store>
void splitTokens(std::string_view rest, Store store) {
    for (;;) {
        const auto eq = rest.find('=');
        if (eq == std::string_view::npos) return;
        const std::string key(rest.substr(0, eq));
        rest.remove_prefix(eq + 1);
        const auto valueStart = rest.find_first_not_of(' ');
        rest.remove_prefix(valueStart == std::string_view::npos ? rest.size() : valueStart);
        const auto valueEnd = rest.find(' ');
        const std::string_view value = rest.substr(0, valueEnd);
        rest.remove_prefix(value.size());
        const auto next = rest.find_first_not_of(' ');
        rest.remove_prefix(next == std::string_view::npos ? rest.size() : next);
        store(key, value);
    }
}

void readJulian(std::string_view value, ATime& time) {
    double jd = 0;
    if (readReal(value, jd)) time.setJulian(jd);
}

// Two hexadecimal digits per value, the first pair for value 0. At most 64 pairs; a trailing
// odd character is ignored, and a pair that is not two hex digits keeps the seeded value
// (a sign or blank must not turn into a negative or one-digit power).
void readPotCurve(std::string_view value, std::array<std::int32_t, 64>& pot) {
    std::size_t pairs = value.size() / 2;
    if (pairs > pot.size()) pairs = pot.size();
    for (std::size_t i = 0; i < pairs; ++i) {
        const std::string_view pair = value.substr(2 * i, 2);
        if (!std::isxdigit(static_cast<unsigned char>(pair[0])) ||
            !std::isxdigit(static_cast<unsigned char>(pair[1])))
            continue;
        readHex(pair, pot[i]);
    }
}

}  // namespace

void ResFile::readSignals() {
    ncfft = 0;
    cr = 0.0;
    fl = 0;
    while (file_.readLine()) {
        const std::string_view line = file_.line;
        const auto blank = line.find(' ');
        if (blank == std::string_view::npos) continue;
        const std::string_view label = line.substr(0, blank);
        std::string_view rest = line.substr(blank);
        const auto restStart = rest.find_first_not_of(' ');
        rest.remove_prefix(restStart == std::string_view::npos ? rest.size() : restStart);
        if (label == "<ogh") {
            parseContextLine(rest);
        } else if (label == "gaussian:") {
            parseGaussianLine(rest);
            gaussians.add(gaussian);
        } else if (label == "spike:") {
            parseSpikeLine(rest);
            spikes.add(spike);
        }
    }
    // The lists sort stably, so among equals the first in the file becomes the best.
    if (gaussians.size() > 0) {
        gaussians.sort();
        gaussian = gaussians[0];
        gaussian.applyAsBest(record);
    }
    if (spikes.size() > 0) {
        spikes.sort();
        spike = spikes[0];
        spike.applyAsBest(record);
    }
}

void ResFile::parseContextLine(std::string_view rest) {
    // A value the line does not give is 0 for the signals that follow.
    ncfft = 0;
    cr = 0.0;
    fl = 0;
    splitTokens(rest, [this](const std::string& key, std::string_view value) {
        const auto found = ContextKeys.find(key);
        if (found == ContextKeys.end()) return;
        switch (found->second) {
            case 0: readInt(value, ncfft); break;
            case 1: readReal(value, cr); break;
            case 2: readInt(value, fl); break;
        }
    });
}

void ResFile::parseGaussianLine(std::string_view rest) {
    gaussian.fromWorkUnit(record);
    gaussian.ncfft = ncfft;
    gaussian.chirprate = cr;
    gaussian.fft_len = fl;
    splitTokens(rest, [this](const std::string& key, std::string_view value) {
        const auto found = gaussianKeys_.find(key);
        if (found == gaussianKeys_.end()) return;
        Gaussian& g = gaussian;
        switch (found->second) {
            case 2: readReal(value, g.chirprate); break;
            case 3: readInt(value, g.fft_len); break;
            case 4: readReal(value, g.peak); break;
            case 5: readReal(value, g.mean); break;
            case 6: readReal(value, g.ra); break;
            case 7: readReal(value, g.dec); break;
            case 8: readJulian(value, g.time); break;
            case 9: readReal(value, g.freq); break;
            case 10: readReal(value, g.sigma); break;
            case 11: readReal(value, g.chisqr); break;
            case 12: readReal(value, g.maxpow); break;
            case GaussianPotKey: readPotCurve(value, g.pot); break;
            default: break;  // "pot 0" to "pot 63": accepted and ignored
        }
    });
}

void ResFile::parseSpikeLine(std::string_view rest) {
    spike.fromWorkUnit(record);
    spike.ncfft = ncfft;
    spike.chirp_rate = cr;
    spike.fft_len = fl;
    splitTokens(rest, [this](const std::string& key, std::string_view value) {
        const auto found = spikeKeys_.find(key);
        if (found == spikeKeys_.end()) return;
        Spike& s = spike;
        switch (found->second) {
            case 2: readReal(value, s.chirp_rate); break;
            case 3: readInt(value, s.fft_len); break;
            case 4: readReal(value, s.power); break;
            case 5: readReal(value, s.ra); break;
            case 6: readReal(value, s.dec); break;
            case 7: readJulian(value, s.time); break;
            case 8: readReal(value, s.freq); break;
            default: break;
        }
    });
}
