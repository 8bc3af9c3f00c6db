// Text from a record made safe for an HTML page in UTF-8: as element text or attribute value,
// and as a relative link to a file of that name.
#pragma once

#include <string>
#include <string_view>

// Appends `text` with & < > " and ' as character references. Bytes that are no character of
// an HTML page (control bytes other than tab and line feed, DEL, and bytes that do not form
// UTF-8) become U+FFFD, so a record's bytes can never break the page's encoding.
void appendHtmlText(std::string& out, std::string_view text);

// Appends `name` as the path part of a relative URL: letters, digits and - . _ ~ as they are,
// every other byte as %XX, so no byte of the name can end the path, start a query or a
// fragment, or leave the page's own folder. The result holds no HTML special character.
void appendUrlName(std::string& out, std::string_view name);
