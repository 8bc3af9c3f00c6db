// Tests of the line readers and trimming rules: line ends, NUL and byte 26, CSV quoting,
// key=value splitting.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "record/TextFiles.h"
#include "support/TempDir.h"

using testsupport::TempDir;

namespace {

struct KeyValue {
    std::string key;
    std::string value;
    bool operator==(const KeyValue&) const = default;
};

std::ostream& operator<<(std::ostream& out, const KeyValue& kv) {
    return out << '{' << kv.key << '|' << kv.value << '}';
}

std::vector<KeyValue> crLines(INIFile& file) {
    std::vector<KeyValue> read;
    while (file.readCrLine()) read.push_back({file.key, file.value});
    return read;
}

std::vector<std::string> csvLines(const std::string& path) {
    CSVFile file(path);
    std::vector<std::string> read;
    while (file.readLine()) read.push_back(file.line);
    return read;
}

}  // namespace

TEST(Trim, BlanksAndQuotes) {
    struct Case {
        const char* text;
        const char* blanks;
        const char* unquoted;
    };
    const std::vector<Case> cases = {
        {"", "", ""},
        {"abc", "abc", "abc"},
        {" \t a b \t ", "a b", "a b"},
        {" \t ", " \t ", " \t "},  // blanks only: kept
        {"\"\"", "\"\"", ""},
        {" \" a \" ", "\" a \"", " a "},  // blanks inside quotes survive
        {" a\"b\"c ", "a\"b\"c", "abc"},
        {"\r x \n", "\r x \n", "\r x \n"},  // CR and LF are no blanks
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string blanks = c.text;
        std::string unquoted = c.text;
        EXPECT_EQ(trimBlanks(blanks), c.blanks);
        EXPECT_EQ(blanks, c.blanks);
        EXPECT_EQ(trimBlanks(std::string_view(c.text)), c.blanks);
        EXPECT_EQ(trimUnquote(unquoted), c.unquoted);
    }
}

TEST(INIFile, SplitKeyValue) {
    using namespace std::string_literals;
    struct Case {
        std::string text;
        std::string key;
        std::string value;
    };
    const std::vector<Case> cases = {
        {"name=value", "name", "value"},
        {"  name \t=  some value \t", "name", "some value"},
        {"no equals sign ", "no equals sign", ""},
        {"a=b=c", "a", "b=c"},
        {"=", "", ""},
        {" =x", " ", "x"},  // a key of blanks only keeps them
        {"", "", ""},
        // The "=" is not looked for past a NUL byte.
        {"a\0=b"s, "a\0=b"s, ""},
        {"a=b\0c"s, "a", "b\0c"s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string key = "old";
        std::string value = "old";
        EXPECT_TRUE(INIFile::splitKeyValue(c.text, key, value));
        EXPECT_EQ(key, c.key);
        EXPECT_EQ(value, c.value);
    }
}

TEST(INIFile, CrReaderEndsLinesAtCrLfAndCrLf) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"CR", "a=1\rb = 2\r\rc\r"},
        {"CR LF", "a=1\r\nb = 2\r\n\r\nc\r\n"},
        {"LF", "a=1\nb = 2\n\nc\n"},
        {"mixed, no end on the last line", "a=1\nb = 2\r\n\rc"},
    };
    const std::vector<KeyValue> expected = {{"a", "1"}, {"b", "2"}, {"", ""}, {"c", ""}};
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dir.write("data.txt", c.bytes);
        INIFile file;
        ASSERT_TRUE(file.openBinary(dir.file("data.txt")));
        EXPECT_EQ(crLines(file), expected);
        EXPECT_FALSE(file.readCrLine());
        EXPECT_EQ(file.key, "c");  // the last line's key stays after the end
        // Text mode drops the carriage returns; the reader still finds the same lines
        // wherever a line feed stands.
        if (c.bytes.find('\n') != std::string::npos && c.bytes.find("\n\r") == std::string::npos) {
            ASSERT_TRUE(file.open(dir.file("data.txt")));
            EXPECT_EQ(crLines(file), expected);
        }
    }
}

TEST(INIFile, CrReaderKeepsLineAndReadsBinaryBytes) {
    TempDir dir;
    dir.write("data.txt", std::string("k=v\x1a w\0x\r", 9));
    INIFile file;
    file.line = "untouched";
    ASSERT_TRUE(file.openBinary(dir.file("data.txt")));
    ASSERT_TRUE(file.readCrLine());
    EXPECT_EQ(file.key, "k");
    EXPECT_EQ(file.value, std::string("v\x1a w\0x", 6));
    EXPECT_EQ(file.line, "untouched");
    EXPECT_FALSE(file.readCrLine());
}

TEST(INIFile, LineReaderInTextMode) {
    TempDir dir;
    dir.write("state.sah", std::string(" key = a\r=b \r\nplain\r\nnul=x\0y\n\nlast=1\x1a" "after=2\n",
                                       45));
    INIFile file(dir.file("state.sah"));
    ASSERT_TRUE(file.isOpen());
    std::vector<std::string> lines;
    std::vector<KeyValue> pairs;
    while (file.readLine()) {
        lines.push_back(file.line);
        pairs.push_back({file.key, file.value});
    }
    // CRs vanish, the NUL ends its line, byte 26 ends the data.
    EXPECT_EQ(lines, (std::vector<std::string>{" key = a=b ", "plain", "nul=x", "", "last=1"}));
    EXPECT_EQ(pairs, (std::vector<KeyValue>{
                         {"key", "a=b"}, {"plain", ""}, {"nul", "x"}, {"", ""}, {"last", "1"}}));
    file.close();
    EXPECT_FALSE(file.isOpen());
    EXPECT_FALSE(file.readLine());
    EXPECT_EQ(file.key, "last");  // close keeps the texts

    EXPECT_FALSE(file.open(dir.file("missing")));
    EXPECT_FALSE(file.readLine());
    EXPECT_FALSE(file.readCrLine());
}

TEST(CSVFile, LinesInTextMode) {
    TempDir dir;
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"CR LF", "a,b\r\nc\r\n", {"a,b", "c"}},
        {"LF, last line without end", "a\n\nb", {"a", "", "b"}},
        {"NUL ends the line", std::string("ab\0cd\nef", 8), {"ab", "ef"}},
        {"byte 26 ends the data", "a\nb\x1a\nc\n", {"a", "b"}},
        {"CR inside a line", "a\rb\n", {"ab"}},
        {"empty file", "", {}},
        {"byte 26 first", "\x1a" "a\n", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dir.write("in.csv", c.bytes);
        EXPECT_EQ(csvLines(dir.file("in.csv")), c.lines);
    }
}

TEST(CSVFile, FieldsSplitAtCommasOutsideQuotes) {
    struct Case {
        const char* line;
        std::vector<std::string> fields;
    };
    const std::vector<Case> cases = {
        {"a,b,c", {"a", "b", "c"}},
        {"\"x, y\",z", {"x, y", "z"}},
        {" \" padded \" , next ", {" padded ", "next"}},
        {"a,,b", {"a", "", "b"}},
        {"a,b,", {"a", "b"}},  // the empty field after a last comma is not returned
        {",a", {"", "a"}},
        {"", {}},
        {"\"open,quote", {"open,quote"}},
        {"a\"b\"c,\"\"", {"abc", ""}},
        {"  ,\t", {"  ", "\t"}},  // blanks only stay
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        dir.write("in.csv", std::string(c.line) + "\r\nnext line\r\n");
        CSVFile file(dir.file("in.csv"));
        ASSERT_TRUE(file.readLine());
        std::vector<std::string> fields;
        std::string field;
        while (file.nextField(field)) fields.push_back(field);
        EXPECT_EQ(fields, c.fields);
        EXPECT_EQ(file.remaining(), "");
        // The next line starts afresh.
        ASSERT_TRUE(file.readLine());
        ASSERT_TRUE(file.nextField(field));
        EXPECT_EQ(field, "next line");
    }
}

TEST(CSVFile, StatesOfTheReader) {
    TempDir dir;
    dir.write("in.csv", "a,b\n");
    CSVFile file;
    std::string field = "kept";
    EXPECT_FALSE(file.readLine());
    EXPECT_FALSE(file.nextField(field));
    EXPECT_EQ(field, "kept");

    ASSERT_TRUE(file.open(dir.file("in.csv")));
    ASSERT_TRUE(file.readLine());
    ASSERT_TRUE(file.nextField(field));
    EXPECT_EQ(file.remaining(), "b");
    const std::string current = file.line;
    file.line = "x";  // a caller replaced the line with a shorter one: nothing left, no throw
    EXPECT_EQ(file.remaining(), "");
    file.line = current;
    EXPECT_FALSE(file.readLine());  // end of the data empties the line
    EXPECT_EQ(file.line, "");
    EXPECT_FALSE(file.nextField(field));

    ASSERT_TRUE(file.open(dir.file("in.csv")));  // reopening starts again
    ASSERT_TRUE(file.readLine());
    file.close();
    EXPECT_EQ(file.line, "");
    EXPECT_FALSE(file.readLine());
    EXPECT_FALSE(file.open(dir.file("missing.csv")));
    EXPECT_FALSE(file.isOpen());
    EXPECT_FALSE(file.open(dir.path().string()));  // a directory given as the file
    EXPECT_FALSE(file.readLine());
}
