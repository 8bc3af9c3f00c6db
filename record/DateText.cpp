// Calendar-field text of date-times, shared by the page and the support data file.
#include "record/DateText.h"

#include "record/Numbers.h"

const ATime& printedFields(const ATime& value) {
    static const ATime unset;
    return value.isSet() ? value : unset;
}

void appendDateTime(std::string& out, const ATime& value) {
    const ATime& shown = printedFields(value);
    appendInt(out, shown.year);
    out += '/';
    appendPadded(out, shown.month, 2);
    out += '/';
    appendPadded(out, shown.day, 2);
    out += ' ';
    appendPadded(out, shown.hour, 2);
    out += ':';
    appendPadded(out, shown.minute, 2);
    out += ':';
    appendPadded(out, shown.second, 2);
}
