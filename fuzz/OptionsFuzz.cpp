// Fuzz target: the option parser. The first two bytes are the allowed kinds, the rest is one
// argument. A plain argument changes nothing; an option gives its own kind or KindIllegal; a
// value the parser stored, quoted again after the option's name, parses to itself.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/Checks.h"
#include "options/CmdParm.h"

using fuzzcheck::require;

namespace {

struct Slot {
    std::uint16_t kind;
    const char* name;
    std::string CmdParm::*value;
};
constexpr Slot Slots[] = {
    {KindReport, "-ob", &CmdParm::reportDir},     {KindI4wu, "-i4wu", &CmdParm::i4wuFiles},
    {KindSetiLog, "-sl", &CmdParm::setiLogFiles}, {KindSupport, "-ss", &CmdParm::supportFiles},
    {KindClient, "-sh", &CmdParm::clientDir},     {KindHtml, "-html", &CmdParm::htmlFile},
};

bool sameValues(const CmdParm& a, const CmdParm& b) {
    for (const Slot& slot : Slots) {
        if (a.*slot.value != b.*slot.value) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint16_t allowed = static_cast<std::uint16_t>(data[0] | data[1] << 8);
    const std::string argument = fuzzcheck::bytesOf(data + 2, size - 2);

    CmdParm parm;
    const std::uint16_t kind = parm.parse(argument, allowed);
    if (argument.empty() || argument[0] != '-') {
        require(kind == KindNone && parm.kind == KindNone && sameValues(parm, CmdParm()),
                "a plain argument changes nothing");
        return 0;
    }
    require(kind != KindNone, "an option is no plain argument");
    if (kind == KindIllegal) {
        require(parm.kind == KindNone, "a refused option sets no kind");
        return 0;
    }
    require((kind & allowed) != 0 && parm.kind == kind, "an accepted option was allowed");
    for (const Slot& slot : Slots) {
        if (slot.kind != kind) continue;
        const std::string& value = parm.*slot.value;
        require(value.find('"') == std::string::npos, "a stored value holds no quote");
        CmdParm again;
        const std::string quoted = std::string(slot.name) + "=\"" + value + "\"";
        require(again.parse(quoted, allowed) == kind && again.*slot.value == value,
                "a stored value, quoted again, parses to itself");
    }
    return 0;
}
