// Calendar-field text of date-times, shared by the page and the support data file.
#include "record/DateText.h"

#include "text/Numbers.h"

const ATime& printedFields(const ATime& value) {
    static const ATime unset;
    return value.isSet() ? value : unset;
}

void appendDateFields(std::string& out, const ATime& value, std::string_view layout) {
    const ATime& shown = printedFields(value);
    for (char c : layout) {
        switch (c) {
            case 'Y': appendInt(out, shown.year); break;
            case 'm': appendPadded(out, shown.month, 2); break;
            case 'd': appendPadded(out, shown.day, 2); break;
            case 'H': appendPadded(out, shown.hour, 2); break;
            case 'M': appendPadded(out, shown.minute, 2); break;
            case 'S': appendPadded(out, shown.second, 2); break;
            default: out += c; break;
        }
    }
}
