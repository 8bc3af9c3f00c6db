// Tests of the option parser: kinds, the shared bits of -html, values with quotes and blanks.
#include <gtest/gtest.h>

#include <string>

#include "options/CmdParm.h"

TEST(CmdParm, KindsAndValues) {
    struct Case {
        const char* argument;
        std::uint16_t allowed;
        std::uint16_t result;
        std::string CmdParm::*slot;  // checked when set
        const char* value;
    };
    const Case cases[] = {
        {"-ob=reports\\", 31, KindReport, &CmdParm::reportDir, "reports\\"},
        {"-i4wu=*.csv", 31, KindI4wu, &CmdParm::i4wuFiles, "*.csv"},
        {"-sl=SETILog.csv", 31, KindSetiLog, &CmdParm::setiLogFiles, "SETILog.csv"},
        {"-html=page.html", 25, KindHtml, &CmdParm::htmlFile, "page.html"},
        // No "=": an empty value, replacing the default ".\".
        {"-sh", 31, KindClient, &CmdParm::clientDir, ""},
        // Outer blanks cut, quotes removed, blanks inside kept; an "=" in quotes is value.
        {"-sh=  \"C:\\Program Files\\seti\"  ", 31, KindClient, &CmdParm::clientDir,
         "C:\\Program Files\\seti"},
        {"-ss=\"a=b\"", 31, KindSupport, &CmdParm::supportFiles, "a=b"},
        {"-ss=x=y", 31, KindSupport, &CmdParm::supportFiles, "x=y"},
        {"-ss= \t", 31, KindSupport, &CmdParm::supportFiles, " \t"},  // blanks only stay
        // Not allowed: the value is stored all the same.
        {"-html=page.html", 31 & ~16 & ~1, KindIllegal, &CmdParm::htmlFile, "page.html"},
        {"-i4wu=x", 25, KindIllegal, &CmdParm::i4wuFiles, "x"},
        // -ob and -sh share a bit with -html (17), so the archiver's 25 lets them through.
        {"-ob=x", 25, KindReport, &CmdParm::reportDir, "x"},
        {"-sh=y", 25, KindClient, &CmdParm::clientDir, "y"},
        // Unknown names store nothing: case matters, quotes belong to the name.
        {"-SS=x", 31, KindIllegal, &CmdParm::supportFiles, ""},
        {"-s\"s=x\"", 31, KindIllegal, &CmdParm::supportFiles, ""},
        {"-sss=x", 31, KindIllegal, &CmdParm::supportFiles, ""},
        {"-", 31, KindIllegal, nullptr, ""},
        // Plain arguments.
        {"", 31, KindNone, nullptr, ""},
        {" -ss=x", 31, KindNone, &CmdParm::supportFiles, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument);
        CmdParm parm;
        EXPECT_EQ(parm.parse(c.argument, c.allowed), c.result);
        EXPECT_EQ(parm.kind, c.result == KindIllegal ? 0 : c.result);
        if (c.slot != nullptr) {
            EXPECT_EQ(parm.*c.slot, c.value);
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

    // Reset brings back every default, ".\" for the two directories.
    for (const char* option : {"-sh=d", "-ob=d", "-i4wu=x", "-sl=x"}) parm.parse(option, 31);
    parm.reset();
    EXPECT_EQ(parm.kind, 0);
    EXPECT_EQ(parm.reportDir, ".\\");
    EXPECT_EQ(parm.clientDir, ".\\");
    EXPECT_EQ(parm.i4wuFiles + parm.setiLogFiles + parm.supportFiles + parm.htmlFile, "");

    // -ob alone leaves kind AND 17 non-zero, as -html does.
    parm.parse("-ob=x", 25);
    EXPECT_NE(parm.kind & KindHtml, 0);
}

TEST(CmdParm, ListOfTakenKinds) {
    // A list says exactly which options pass: the archiver's four and the merge tool's six
    // agree with their bit masks on every argument, while a list of -html alone, unlike the
    // mask 17, refuses -sh and -ob.
    const std::uint16_t archiver[] = {KindSupport, KindHtml, KindClient, KindReport};
    const std::uint16_t merger[] = {KindReport,  KindI4wu,   KindSetiLog,
                                    KindSupport, KindClient, KindHtml};
    const std::uint16_t htmlOnly[] = {KindHtml};
    for (const char* argument :
         {"-ob=a", "-i4wu=b", "-sl=c", "-ss=d", "-sh=e", "-html=f", "-xx=g", "plain", ""}) {
        SCOPED_TRACE(argument);
        CmdParm byList, byMask;
        EXPECT_EQ(byList.parse(argument, archiver), byMask.parse(argument, 25));
        EXPECT_EQ(byList.kind, byMask.kind);
        CmdParm byList31, byMask31;
        EXPECT_EQ(byList31.parse(argument, merger), byMask31.parse(argument, 31));
        EXPECT_EQ(byList31.kind, byMask31.kind);
    }
    CmdParm parm;
    EXPECT_EQ(parm.parse("-sh=x", htmlOnly), KindIllegal);
    EXPECT_EQ(parm.clientDir, "x");  // stored all the same
    EXPECT_EQ(parm.parse("-ob=y", htmlOnly), KindIllegal);
    EXPECT_EQ(parm.parse("-html=z", htmlOnly), KindHtml);
    EXPECT_EQ(parm.kind, KindHtml);
}
