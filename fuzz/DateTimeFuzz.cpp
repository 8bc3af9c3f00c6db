// Fuzz target: the date-time text parser. A parsed value has fields in their ranges; its
// printed text parses back to the same moment and prints the same again; its Julian Date
// gives back the same fields.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/Checks.h"
#include "record/ATime.h"
#include "record/DateText.h"

using fuzzcheck::require;

namespace {

void checkValue(const ATime& value) {
    if (!value.isSet()) return;
    require(value.month >= 1 && value.month <= 12 && value.day >= 1 && value.day <= 31 &&
                value.hour >= 0 && value.hour <= 23 && value.minute >= 0 && value.minute <= 59 &&
                value.second >= 0 && value.second <= 59,
            "a parsed date-time has its fields in range");
    // Day 0 of January 1984 normalises to 1983, which no setter accepts again: Julian Dates
    // and text only carry the values inside the range check.
    if (!ATime::inRange(value.year, value.month, value.hour, value.minute)) return;
    ATime fromJulian;
    fromJulian.setJulian(value.julianDate());
    require(fromJulian.sameFields(value), "the Julian Date gives back the same fields");
    std::string text;
    appendDateTime(text, value);
    ATime again;
    again.parseUtc(text);
    require(again == value, "the printed date-time parses back to the same moment");
    std::string textAgain;
    appendDateTime(textAgain, again);
    require(textAgain == text, "the printed date-time prints the same again");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = fuzzcheck::bytesOf(data, size);
    ATime utc;
    utc.parseUtc(text);
    checkValue(utc);
    ATime local;
    local.parseLocal(text);
    checkValue(local);
    return 0;
}
