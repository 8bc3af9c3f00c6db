// Tests of the option parser: kinds, the shared bits of -html, values with quotes and blanks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "record/CmdParm.h"

namespace {

// The value slot an option name fills, for the table below.
std::string CmdParm::*slotOf(const std::string& name) {
    if (name == "ob") return &CmdParm::reportDir;
    if (name == "i4wu") return &CmdParm::i4wuFiles;
    if (name == "sl") return &CmdParm::setiLogFiles;
    if (name == "ss") return &CmdParm::supportFiles;
    if (name == "sh") return &CmdParm::clientDir;
    return &CmdParm::htmlFile;
}

}  // namespace

TEST(CmdParm, KindsAndValues) {
    struct Case {
        const char* argument;
        std::uint16_t allowed;
        std::uint16_t result;
        const char* slot;   // option whose value is checked, "" for none
        const char* value;  // expected value of that slot
    };
    const std::vector<Case> cases = {
        {"-ob=reports\\", 31, KindReport, "ob", "reports\\"},
        {"-i4wu=*.csv", 31, KindI4wu, "i4wu", "*.csv"},
        {"-sl=SETILog.csv", 31, KindSetiLog, "sl", "SETILog.csv"},
        {"-ss=ss_past_data.txt", 25, KindSupport, "ss", "ss_past_data.txt"},
        {"-sh=C:\\seti", 31, KindClient, "sh", "C:\\seti"},
        {"-html=page.html", 25, KindHtml, "html", "page.html"},
        // No "=": an empty value, replacing the default ".\".
        {"-ss", 31, KindSupport, "ss", ""},
        {"-sh", 31, KindClient, "sh", ""},
        // Quotes and blanks: outer blanks cut, quotes removed, blanks inside kept.
        {"-sh=  \"C:\\Program Files\\seti\"  ", 31, KindClient, "sh", "C:\\Program Files\\seti"},
        {"-ss=\"a=b\"", 31, KindSupport, "ss", "a=b"},
        {"-ss=x=y", 31, KindSupport, "ss", "x=y"},
        {"-ss=   ", 31, KindSupport, "ss", "   "},  // blanks only stay
        {"-ss= \t", 31, KindSupport, "ss", " \t"},
        // Not allowed: the value is stored all the same.
        {"-html=page.html", 31 & ~16 & ~1, KindIllegal, "html", "page.html"},
        {"-i4wu=x", 25, KindIllegal, "i4wu", "x"},
        // -ob shares bit 1 with -html, so the archiver's 25 lets it through.
        {"-ob=x", 25, KindReport, "ob", "x"},
        {"-sh=y", 25, KindClient, "sh", "y"},
        // Unknown names: case matters, quotes belong to the name.
        {"-SS=x", 31, KindIllegal, "ss", ""},
        {"-\"ss\"=x", 31, KindIllegal, "ss", ""},
        {"-s\"s=x\"", 31, KindIllegal, "ss", ""},
        {"-", 31, KindIllegal, "", ""},
        {"-=x", 31, KindIllegal, "", ""},
        {"-sss=x", 31, KindIllegal, "ss", ""},
        // Plain arguments.
        {"ss_past_data.txt", 31, KindNone, "", ""},
        {"", 31, KindNone, "", ""},
        {" -ss=x", 31, KindNone, "ss", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument);
        CmdParm parm;
        EXPECT_EQ(parm.parse(c.argument, c.allowed), c.result);
        EXPECT_EQ(parm.kind, c.result == KindIllegal ? 0 : c.result);
        if (*c.slot != '\0') {
            EXPECT_EQ(parm.*slotOf(c.slot), c.value);
        }
    }
}

TEST(CmdParm, KindAccumulatesUntilReset) {
    CmdParm parm;
    EXPECT_EQ(parm.parse("-ss=a", 25), KindSupport);
    EXPECT_EQ(parm.parse("-html=b", 25), KindHtml);
    EXPECT_EQ(parm.parse("plain", 25), KindNone);
    EXPECT_EQ(parm.parse("-sl=c", 25), KindIllegal);
    EXPECT_EQ(parm.kind, KindSupport | KindHtml);
    EXPECT_EQ(parm.setiLogFiles, "c");

    // Reset brings back every default, ".\" for the two directories.
    parm.parse("-sh=dir", 31);
    parm.parse("-ob=dir", 31);
    parm.parse("-i4wu=x", 31);
    parm.reset();
    EXPECT_EQ(parm.kind, 0);
    EXPECT_EQ(parm.reportDir, ".\\");
    EXPECT_EQ(parm.clientDir, ".\\");
    for (const std::string* text :
         {&parm.i4wuFiles, &parm.setiLogFiles, &parm.supportFiles, &parm.htmlFile}) {
        EXPECT_EQ(*text, "");
    }

    // -ob alone leaves kind AND 17 non-zero, as -html does.
    parm.parse("-ob=x", 25);
    EXPECT_NE(parm.kind & KindHtml, 0);
    EXPECT_EQ(parm.kind, KindReport);
    EXPECT_EQ(parm.htmlFile, "");
}
