// The command-line option parser: "-name=value" arguments, each option reported as a kind.
#pragma once

#include <cstdint>
#include <span>
#include <string>

constexpr std::uint16_t KindNone = 0;
constexpr std::uint16_t KindReport = 1;
constexpr std::uint16_t KindI4wu = 2;
constexpr std::uint16_t KindSetiLog = 4;
constexpr std::uint16_t KindSupport = 8;
constexpr std::uint16_t KindClient = 16;
constexpr std::uint16_t KindHtml = 17;  // 16 + 1: shares its bits with -sh and -ob
constexpr std::uint16_t KindIllegal = 32768;

class CmdParm {
public:
    CmdParm() { reset(); }
    std::uint16_t kind = 0;
    std::string reportDir;
    std::string i4wuFiles;
    std::string setiLogFiles;
    std::string supportFiles;
    std::string clientDir;
    std::string htmlFile;

    void reset();
    // Returns 0 for a plain argument, the option's kind when `allowed` shares a bit with it,
    // KindIllegal otherwise. A recognised option's value is stored even when not allowed.
    std::uint16_t parse(const std::string& argument, std::uint16_t allowed);
    // The same for a program that lists the kinds of the options it takes: an option whose
    // kind is not in the list is KindIllegal.
    std::uint16_t parse(const std::string& argument, std::span<const std::uint16_t> taken);

private:
    // 0 for a plain argument; otherwise the kind of a recognised option, its value stored, or
    // KindIllegal for an unknown one.
    std::uint16_t recognise(const std::string& argument);
    // The kind of an option the caller takes, ORed into `kind`.
    std::uint16_t accept(std::uint16_t optionKind);
};
