// The signal section of a result file: context, spike and gaussian lines, and the choice of
// the strongest spike and gaussian as the work unit's best signals.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "clientfiles/ResFile.h"
#include "record/SignalFields.h"
#include "text/KeyTable.h"
#include "text/Numbers.h"

namespace {

enum ContextKey { ContextNcfft, ContextCr, ContextFl };
constexpr auto ContextKeys = sortedKeys(
    std::array<KeyEntry, 3>{{{"ncfft", ContextNcfft}, {"cr", ContextCr}, {"fl", ContextFl}}});
static_assert(uniqueKeys(ContextKeys));

// Calls store(key, value) for each "key=value" token of a signal line. The key is the text
// before "=" as it stands, so "ra = 1" gives the key "ra " that matches nothing; blanks after
// "=" are skipped (real clients write "dec= 28.58"); the value runs to the next blank.
template <typename Store>
void splitTokens(std::string_view rest, Store store) {
    for (;;) {
        const auto eq = rest.find('=');
        if (eq == std::string_view::npos) return;
        const std::string_view key = rest.substr(0, eq);
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

// The value of a hexadecimal digit, -1 for any other character.
constexpr std::array<std::int8_t, 256> HexDigits = [] {
    std::array<std::int8_t, 256> digits{};
    for (int c = 0; c < 256; ++c) {
        digits[static_cast<std::size_t>(c)] =
            c >= '0' && c <= '9'   ? static_cast<std::int8_t>(c - '0')
            : c >= 'a' && c <= 'f' ? static_cast<std::int8_t>(c - 'a' + 10)
            : c >= 'A' && c <= 'F' ? static_cast<std::int8_t>(c - 'A' + 10)
                                   : std::int8_t{-1};
    }
    return digits;
}();

// Two hexadecimal digits per value, the first pair for value 0. At most 64 pairs; a trailing
// odd character is ignored, and a pair that is not two hex digits keeps the seeded value
// (a sign or blank must not turn into a negative or one-digit power).
void readPotCurve(std::string_view value, PotCurve& pot) {
    std::size_t pairs = value.size() / 2;
    if (pairs > pot.size()) pairs = pot.size();
    for (std::size_t i = 0; i < pairs; ++i) {
        const int high = HexDigits[static_cast<unsigned char>(value[2 * i])];
        const int low = HexDigits[static_cast<unsigned char>(value[2 * i + 1])];
        if (high >= 0 && low >= 0) pot[i] = high * 16 + low;
    }
}

// The value of a signal-line token into the field its key names. Unknown keys, among them
// "pot 0" to "pot 63", change nothing.
template <class Signal, class TimeReader>
void readSignalToken(Signal& signal, std::string_view key, std::string_view value,
                     TimeReader& times) {
    const int index = findKey(SignalLineKeys<Signal>, key);
    if (index < 0) return;
    const SignalField<Signal>& f = SignalTable<Signal>::fields[static_cast<std::size_t>(index)];
    switch (f.kind) {
        case SignalFieldKind::Text: signal.*f.text = value; break;
        case SignalFieldKind::Int: readInt(value, signal.*f.integer); break;
        case SignalFieldKind::Real: readReal(value, signal.*f.real); break;
        case SignalFieldKind::Time: times.read(value, signal.*f.time); break;
        case SignalFieldKind::Curve: readPotCurve(value, signal.*f.curve); break;
    }
}

// The strongest signal of the list, if any, into `best` and into the record. The lists sort
// stably, so among equals the first in the file becomes the best.
template <class Signal>
void takeBest(SignalList<Signal>& list, Signal& best, WorkUnit& record) {
    if (list.size() == 0) return;
    list.sort();
    list.copyTo(0, best);
    best.applyAsBest(record);
}

double& chirpRateOf(Spike& spike) { return spike.chirp_rate; }
double& chirpRateOf(Gaussian& gaussian) { return gaussian.chirprate; }

}  // namespace

// A result's signals mostly share one time: the last text read, the value it was read over
// and what that gave are kept, so the same text over the same value is not read again.
class ResFile::TimeReader {
public:
    void read(std::string_view value, ATime& time) {
        if (known_ && value == text_ && time.sameFields(before_)) {
            time = after_;
            return;
        }
        text_.assign(value);
        before_ = time;
        readJulian(value, time);
        after_ = time;
        known_ = true;
    }

private:
    bool known_ = false;
    std::string text_;
    ATime before_;
    ATime after_;
};

void ResFile::readSignals() {
    ncfft = 0;
    cr = 0.0;
    fl = 0;
    // Every signal starts from the header's values; the header is read by now, so they are
    // worked out once.
    Gaussian gaussianSeed;
    gaussianSeed.fromWorkUnit(record);
    Spike spikeSeed;
    spikeSeed.fromWorkUnit(record);
    TimeReader times;
    std::string_view line;
    while (file_.readLine(line)) {
        // A NUL ends the line, as INIFile reads it.
        line = line.substr(0, line.find('\0'));
        const auto blank = line.find(' ');
        if (blank == std::string_view::npos) continue;
        const std::string_view label = line.substr(0, blank);
        std::string_view rest = line.substr(blank);
        const auto restStart = rest.find_first_not_of(' ');
        rest.remove_prefix(restStart == std::string_view::npos ? rest.size() : restStart);
        if (label == "<ogh") {
            parseContextLine(rest);
        } else if (label == "gaussian:") {
            parseSignalLine(rest, gaussianSeed, gaussian, gaussians, times);
        } else if (label == "spike:") {
            parseSignalLine(rest, spikeSeed, spike, spikes, times);
        }
    }
    takeBest(gaussians, gaussian, record);
    takeBest(spikes, spike, record);
}

void ResFile::parseContextLine(std::string_view rest) {
    // A value the line does not give is 0 for the signals that follow.
    ncfft = 0;
    cr = 0.0;
    fl = 0;
    splitTokens(rest, [this](std::string_view key, std::string_view value) {
        switch (findKey(ContextKeys, key)) {
            case ContextNcfft: readInt(value, ncfft); break;
            case ContextCr: readReal(value, cr); break;
            case ContextFl: readInt(value, fl); break;
            default: break;
        }
    });
}

template <class Signal>
void ResFile::parseSignalLine(std::string_view rest, const Signal& seed, Signal& signal,
                              SignalList<Signal>& list, TimeReader& times) {
    signal = seed;
    signal.ncfft = ncfft;
    chirpRateOf(signal) = cr;
    signal.fft_len = fl;
    splitTokens(rest, [&signal, &times](std::string_view key, std::string_view value) {
        readSignalToken(signal, key, value, times);
    });
    list.add(signal);
}
