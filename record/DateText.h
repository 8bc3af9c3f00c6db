// Date-times as writers print their calendar fields.
#pragma once

#include <string>
#include <string_view>

#include "record/ATime.h"

// The value whose fields a writer prints: an unset value always prints the default fields
// (1984/01/00 00:00:00). Reading that text back normalises the fields to 1983-12-31, which is
// still unset; printing those fields would make every rewrite change the text.
const ATime& printedFields(const ATime& value);

// Appends the UTC fields of printedFields(value) as `layout` places them: Y the year
// unpadded; m, d, H, M, S month, day, hour, minute and second with two digits at least; any
// other character as it is.
void appendDateFields(std::string& out, const ATime& value, std::string_view layout);

// Appends "yyyy/mm/dd hh:mm:ss".
inline void appendDateTime(std::string& out, const ATime& value) {
    appendDateFields(out, value, "Y/m/d H:M:S");
}
