// Tests of the line readers and trimming rules: line ends, NUL and byte 26, CSV quoting,
// key=value splitting.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "support/TempDir.h"
#include "text/TextFiles.h"

using namespace std::string_literals;
using testsupport::TempDir;

namespace {

struct KeyValue {
    KeyValue(std::string k, std::string v) : key(std::move(k)), value(std::move(v)) {}
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

}  // namespace

TEST(Trim, BlanksAndQuotes) {
    struct Case {
        const char* text;
        const char* blanks;
        const char* unquoted;
    };
    const Case cases[] = {
        {"", "", ""},
        {" \t a b \t ", "a b", "a b"},
        {" \t ", " \t ", " \t "},         // blanks only: kept
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
    struct Case {
        std::string text;
        KeyValue expected;
    };
    const Case cases[] = {
        {"  name \t=  some value \t", {"name", "some value"}},
        {"no equals sign ", {"no equals sign", ""}},
        {"a=b=c", {"a", "b=c"}},
        {" =x", {" ", "x"}},  // a key of blanks only keeps them
        // The "=" is not looked for past a NUL byte.
        {"a\0=b"s, {"a\0=b"s, ""}},
        {"a=b\0c"s, {"a", "b\0c"s}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        KeyValue kv{"old", "old"};
        EXPECT_TRUE(INIFile::splitKeyValue(c.text, kv.key, kv.value));
        EXPECT_EQ(kv, c.expected);
    }
}

TEST(INIFile, CrReaderEndsLinesAtCrLfAndCrLf) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
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
        EXPECT_EQ(file.key, "c");  // the last line's key stays after the end
        // Text mode drops the carriage returns; the same lines end at the line feeds.
        if (c.bytes.find('\n') != std::string::npos && c.bytes.find("\n\r") == std::string::npos) {
            ASSERT_TRUE(file.open(dir.file("data.txt")));
            EXPECT_EQ(crLines(file), expected);
        }
    }
    // Binary mode keeps byte 26; the "=" is not looked for past a NUL; `line` stays as it was.
    dir.write("data.txt", "k=v\x1a w\0x\rk\0=v\r"s);
    INIFile file;
    file.line = "untouched";
    ASSERT_TRUE(file.openBinary(dir.file("data.txt")));
    EXPECT_EQ(crLines(file), (std::vector<KeyValue>{{"k", "v\x1a w\0x"s}, {"k\0=v"s, ""}}));
    EXPECT_EQ(file.line, "untouched");
}

TEST(LineReaders, LinesInTextMode) {
    // Both line-feed readers: CRs vanish, a NUL ends its line, byte 26 ends the data.
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"CR LF", "a,b\r\nc\r\n", {"a,b", "c"}},
        {"LF, last line without end", "a\n\nb", {"a", "", "b"}},
        {"NUL ends the line", "ab\0c=d\nef"s, {"ab", "ef"}},
        {"byte 26 ends the data", "a\nb\x1a\nc\n", {"a", "b"}},
        {"CR inside a line", " k = a\r=b \n", {" k = a=b "}},
        {"empty file", "", {}},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dir.write("in.txt", c.bytes);
        CSVFile csv(dir.file("in.txt"));
        INIFile ini(dir.file("in.txt"));
        std::vector<std::string> read;
        while (csv.readLine()) read.emplace_back(csv.line);
        EXPECT_EQ(read, c.lines);
        read.clear();
        while (ini.readLine()) read.push_back(ini.line);
        EXPECT_EQ(read, c.lines);
    }
    // The key=value reader splits each line; close keeps the texts.
    dir.write("state.sah", " key = a=b \r\nlast\n");
    INIFile file(dir.file("state.sah"));
    ASSERT_TRUE(file.readLine());
    EXPECT_EQ(KeyValue(file.key, file.value), KeyValue("key", "a=b"));
    ASSERT_TRUE(file.readLine());
    file.close();
    EXPECT_FALSE(file.readLine());
    EXPECT_EQ(KeyValue(file.key, file.value), KeyValue("last", ""));
    EXPECT_FALSE(file.open(dir.file("missing")));
    EXPECT_FALSE(file.readCrLine());
}

TEST(CSVFile, FieldsSplitAtCommasOutsideQuotes) {
    struct Case {
        const char* line;
        std::vector<std::string> fields;
    };
    const Case cases[] = {
        {"\"x, y\",z", {"x, y", "z"}},
        {" \" padded \" , next ", {" padded ", "next"}},
        {"a,,b", {"a", "", "b"}},
        {"a,b,", {"a", "b"}},  // the empty field after a last comma is not returned
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
    file.line = "x";  // a caller replaced the line with a shorter one: nothing left, no throw
    EXPECT_EQ(file.remaining(), "");
    EXPECT_FALSE(file.readLine());  // end of the data empties the line
    EXPECT_EQ(file.line, "");
    EXPECT_FALSE(file.nextField(field));
    EXPECT_FALSE(file.open(dir.path().string()));  // a directory given as the file
    EXPECT_FALSE(file.readLine());

    // A header row opens with a double quote and a letter.
    const std::pair<const char*, bool> rows[] = {{"\"name\",x", true}, {"\"Name\"", true},
                                                 {"\"1\",x", false},   {"\" n\"", false},
                                                 {"\"", false},        {"name,x", false}};
    for (const auto& [line, header] : rows) {
        file.line = line;
        EXPECT_EQ(file.atHeaderRow(), header) << line;
    }
}

// A file is read a megabyte at a time: lines that cross a read, a CR LF split between two
// reads, a line longer than the buffer and a byte 26 far into the file read exactly as the
// same bytes held whole in memory.
TEST(LineSource, FileReadInPiecesGivesTheLinesOfTheWholeBytes) {
    constexpr std::size_t Mebibyte = std::size_t{1} << 20;
    std::mt19937 random(11);
    std::string mixed;
    while (mixed.size() < 3 * Mebibyte) {
        mixed += std::string(random() % 300, static_cast<char>('a' + random() % 26));
        static constexpr const char* Ends[] = {"\r\n", "\n", "\r", "\r\r\n", "\n\n"};
        mixed += Ends[random() % 5];
    }
    std::string straddling(Mebibyte - 1, 'x');  // its CR is the last byte of the first read
    straddling += "\r\nnext\r\n";
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"line ends of every kind", mixed},
        {"CR LF across the first read", straddling},
        {"a line of three megabytes", "head\n" + std::string(3 * Mebibyte, 'y') + "\ntail"},
        {"byte 26 after two megabytes", std::string(2 * Mebibyte, 'z') + "\n1\x1a\n2\n"},
        {"empty", ""},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dir.write("data.txt", c.bytes);
        for (bool textMode : {true, false}) {
            for (bool crLines : {false, true}) {
                auto lines = [&](LineSource& source) {
                    std::vector<std::string> read;
                    std::string_view line;
                    while (crLines ? source.readCrLine(line) : source.readLine(line))
                        read.emplace_back(line);
                    return read;
                };
                LineSource fromFile;
                LineSource inMemory;
                ASSERT_TRUE(fromFile.open(dir.file("data.txt"), textMode));
                ASSERT_TRUE(inMemory.openBytes(c.bytes, textMode));
                const std::vector<std::string> expected = lines(inMemory);
                EXPECT_EQ(lines(fromFile), expected) << textMode << crLines;
                EXPECT_FALSE(fromFile.failed());
            }
        }
    }
}
