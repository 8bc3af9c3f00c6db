// Date-times as writers print their calendar fields.
#pragma once

#include <string>

#include "record/ATime.h"

// The value whose fields a writer prints: an unset value always prints the default fields
// (1984/01/00 00:00:00). Reading that text back normalises the fields to 1983-12-31, which is
// still unset; printing those fields would make every rewrite change the text.
const ATime& printedFields(const ATime& value);

// Appends "yyyy/mm/dd hh:mm:ss" of the UTC fields (year unpadded, the rest two digits).
void appendDateTime(std::string& out, const ATime& value);
