// The two line readers every reader is built on (comma-separated and key=value), and the two
// trimming rules.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/platform.h"

// Cuts blanks and tabs (only those) from both ends; a text of blanks only stays as it is.
std::string& trimBlanks(std::string& text);
std::string_view trimBlanks(std::string_view text);
// trimBlanks, then removes every double quote.
std::string& trimUnquote(std::string& text);

// A file read a block at a time into one buffer that is reused, so a file of any size holds
// about ReadSize bytes. Text mode: the data ends at the first byte 26 and every carriage return
// is dropped. Binary mode: bytes as they are.
class LineSource {
public:
    LineSource() = default;
    LineSource(const LineSource&) = delete;
    LineSource& operator=(const LineSource&) = delete;

    // Bytes asked of the file per read: few system calls, and a buffer that stays in the
    // cache.
    static constexpr std::size_t ReadSize = std::size_t{1} << 20;

    bool open(const std::string& path, bool textMode);
    // The same, on bytes already in memory (text mode treats them as the file's bytes).
    bool openBytes(std::string bytes, bool textMode);
    void close();
    bool isOpen() const { return open_; }
    // True once a read of the file failed partway: the lines given so far are not the whole
    // file. Cleared by open and close.
    bool failed() const { return failed_; }
    // Next line up to a line feed (not stored) or the end of the data, as a view into the
    // buffer, valid until the next read or close; false when nothing is left. In text mode
    // carriage returns are dropped.
    bool readLine(std::string_view& line);
    // Next line up to a carriage return (not stored), line feeds dropped; a lone line feed
    // also ends a line, so CR, LF and CR LF each end one line. False when nothing is left.
    bool readCrLine(std::string_view& line);
    // Appends up to `bytes` of the data not yet read to `out`, the lines uncut (at most what
    // one read brings); false when nothing is left.
    bool readBytes(std::string& out, std::size_t bytes);

private:
    // Moves the unread bytes to the front and reads more after them; false when nothing more
    // came (the end of the data, or a failed read).
    bool fill();
    // The text-mode rules on bytes just read, from `from` to the end of the buffer.
    void applyTextMode(std::size_t from);

    platform::InputFile file_;
    std::string data_;  // [pos_, end_) is unread
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool open_ = false;
    bool textMode_ = true;
    bool atEnd_ = true;  // nothing more to read from the file
    bool failed_ = false;
    bool skipLineFeed_ = false;  // a carriage return ended the last line at the buffer's end
};

class CSVFile {
public:
    CSVFile() = default;
    explicit CSVFile(const std::string& path) { open(path); }
    // The current line: a view into the file's buffer, valid until the next line is read.
    std::string_view line;

    bool open(const std::string& path);  // text mode
    bool openBytes(std::string bytes);   // text mode, on a file's bytes held in memory
    void close();
    bool isOpen() const { return file_.isOpen(); }
    bool failed() const { return file_.failed(); }
    // Next line into `line`, cut at its first NUL byte; the field reader starts at its front.
    bool readLine();
    // Next comma-separated field (commas inside double quotes do not split) through the
    // trimUnquote rule; false when the line is used up or no file is open. The view is into
    // the line, or into this reader's own copy when quotes inside had to go, and is valid
    // until the next call.
    bool nextField(std::string_view& field);
    // The same into a string of the caller's.
    bool nextField(std::string& field);
    // The part of `line` not yet split into fields.
    // (Empty when `line` was replaced by a shorter text since the last readLine.)
    std::string_view remaining() const {
        return pos_ < line.size() ? line.substr(pos_) : std::string_view();
    }
    // Every table these tools read marks its header row the same way: the line opens with a
    // double quote and a letter. (A data row whose first cell is quoted text starting with a
    // letter therefore reads as a header too.)
    bool atHeaderRow() const;

private:
    LineSource file_;
    std::size_t pos_ = 0;
    std::string unquoted_;  // a field that had quotes inside, without them
};

class INIFile {
public:
    INIFile() = default;
    explicit INIFile(const std::string& path) { open(path); }
    std::string line;
    std::string key;
    std::string value;

    bool open(const std::string& path);        // text mode
    bool openBinary(const std::string& path);  // binary mode
    // open and openBinary on a file's bytes held in memory.
    bool openBytes(std::string bytes, bool textMode);
    void close();  // line, key and value keep their texts
    bool isOpen() const { return file_.isOpen(); }
    bool failed() const { return file_.failed(); }
    // Line-feed reader: `line`, `key` and `value` set (line cut at its first NUL byte).
    bool readLine();
    // Carriage-return reader: `key` and `value` set, `line` untouched.
    bool readCrLine();
    // Splits at the first "=" (the scan stops at a NUL byte); both sides through trimBlanks.
    static bool splitKeyValue(std::string_view text, std::string& key, std::string& value);
    // The same as views into `text`.
    static void splitKeyValue(std::string_view text, std::string_view& key,
                              std::string_view& value);

private:
    LineSource file_;
};
