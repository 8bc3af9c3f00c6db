// The command-line option parser: "-name=value" arguments, each option reported as a kind.
#include "options/CmdParm.h"

#include <algorithm>
#include <array>

#include "text/TextFiles.h"

void CmdParm::reset() {
    kind = KindNone;
    reportDir = ".\\";
    i4wuFiles.clear();
    setiLogFiles.clear();
    supportFiles.clear();
    clientDir = ".\\";
    htmlFile.clear();
}

std::uint16_t CmdParm::recognise(const std::string& argument) {
    if (argument.empty() || argument[0] != '-') return KindNone;

    // The name runs to the first "=" outside double quotes; quotes stay part of the name.
    bool quoted = false;
    std::size_t equals = 0;
    for (; equals < argument.size(); ++equals) {
        const char c = argument[equals];
        if (c == '"')
            quoted = !quoted;
        else if (c == '=' && !quoted)
            break;
    }
    const std::string_view name = std::string_view(argument).substr(0, equals);

    struct Option {
        const char* name;
        std::uint16_t kind;
        std::string CmdParm::*slot;
    };
    static constexpr std::array<Option, 6> options = {{
        {"-ob", KindReport, &CmdParm::reportDir},
        {"-i4wu", KindI4wu, &CmdParm::i4wuFiles},
        {"-sl", KindSetiLog, &CmdParm::setiLogFiles},
        {"-ss", KindSupport, &CmdParm::supportFiles},
        {"-sh", KindClient, &CmdParm::clientDir},
        {"-html", KindHtml, &CmdParm::htmlFile},
    }};
    for (const Option& option : options) {
        if (name != option.name) continue;
        // Stored even when the caller does not allow the option; no "=" stores an empty text.
        std::string value = equals < argument.size() ? argument.substr(equals + 1) : std::string();
        this->*option.slot = std::move(trimUnquote(value));
        return option.kind;
    }
    return KindIllegal;
}

std::uint16_t CmdParm::accept(std::uint16_t optionKind) {
    kind |= optionKind;
    return optionKind;
}

std::uint16_t CmdParm::parse(const std::string& argument, std::uint16_t allowed) {
    const std::uint16_t found = recognise(argument);
    if (found == KindNone || found == KindIllegal) return found;
    return (allowed & found) != 0 ? accept(found) : KindIllegal;
}

std::uint16_t CmdParm::parse(const std::string& argument, std::span<const std::uint16_t> taken) {
    const std::uint16_t found = recognise(argument);
    if (found == KindNone || found == KindIllegal) return found;
    return std::find(taken.begin(), taken.end(), found) != taken.end() ? accept(found)
                                                                       : KindIllegal;
}
