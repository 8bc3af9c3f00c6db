// The line readers (a file read a block at a time into one reused buffer, lines found a word
// at a time and with memchr) and the trimming rules.
#include "text/TextFiles.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

#include "platform/platform.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string_view trimBlanks(std::string_view text) {
    std::size_t first = 0;
    while (first < text.size() && isBlank(text[first])) ++first;
    // A text of blanks only is kept as it is.
    if (first == text.size()) return text;
    std::size_t end = text.size();
    while (isBlank(text[end - 1])) --end;
    return text.substr(first, end - first);
}

std::string& trimBlanks(std::string& text) {
    const std::string_view kept = trimBlanks(std::string_view(text));
    if (kept.size() != text.size()) {
        const std::size_t first = static_cast<std::size_t>(kept.data() - text.data());
        text.erase(first + kept.size());
        text.erase(0, first);
    }
    return text;
}

std::string& trimUnquote(std::string& text) {
    trimBlanks(text);
    text.erase(std::remove(text.begin(), text.end(), '"'), text.end());
    return text;
}

namespace {

// The first carriage return or line feed in [p, end), or end. Eight bytes a step: a byte
// equal to either sets its top bit in the mask, and the lowest set bit is the first such byte.
const char* findLineEnd(const char* p, const char* end) {
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t Ones = 0x0101010101010101u;
        constexpr std::uint64_t Tops = 0x8080808080808080u;
        for (; end - p >= 8; p += 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            const std::uint64_t cr = word ^ (Ones * '\r');
            const std::uint64_t lf = word ^ (Ones * '\n');
            const std::uint64_t hits = (((cr - Ones) & ~cr) | ((lf - Ones) & ~lf)) & Tops;
            if (hits != 0) return p + std::countr_zero(hits) / 8;
        }
    }
    while (p < end && *p != '\r' && *p != '\n') ++p;
    return p;
}

}  // namespace

bool LineSource::open(const std::string& path, bool textMode) {
    close();
    if (!file_.open(path)) return false;
    textMode_ = textMode;
    atEnd_ = false;
    open_ = true;
    return true;
}

bool LineSource::openBytes(std::string bytes, bool textMode) {
    close();
    data_ = std::move(bytes);
    end_ = data_.size();
    textMode_ = textMode;
    applyTextMode(0);
    open_ = true;
    return true;
}

void LineSource::close() {
    file_.close();
    data_.clear();
    data_.shrink_to_fit();
    pos_ = 0;
    end_ = 0;
    open_ = false;
    atEnd_ = true;
    failed_ = false;
    skipLineFeed_ = false;
}

void LineSource::applyTextMode(std::size_t from) {
    if (!textMode_) return;
    // Text mode as the C runtime reads it: byte 26 ends the data, carriage returns vanish.
    char* begin = data_.data() + from;
    char* stop = data_.data() + end_;
    if (void* eof = std::memchr(begin, '\x1a', static_cast<std::size_t>(stop - begin))) {
        stop = static_cast<char*>(eof);
        atEnd_ = true;
        file_.close();
    }
    // Carriage returns found with memchr and the runs between them moved down: most lines
    // hold one, at their end.
    char* kept =
        static_cast<char*>(std::memchr(begin, '\r', static_cast<std::size_t>(stop - begin)));
    if (kept == nullptr) kept = stop;
    for (const char* run = kept; run < stop;) {
        ++run;  // past the carriage return
        const void* next = std::memchr(run, '\r', static_cast<std::size_t>(stop - run));
        const char* runEnd = next != nullptr ? static_cast<const char*>(next) : stop;
        std::memmove(kept, run, static_cast<std::size_t>(runEnd - run));
        kept += runEnd - run;
        run = runEnd;
    }
    end_ = static_cast<std::size_t>(kept - data_.data());
}

bool LineSource::fill() {
    if (atEnd_) return false;
    // The unread bytes move to the front; a line longer than the buffer makes it grow.
    if (pos_ > 0) {
        std::memmove(data_.data(), data_.data() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    if (data_.size() - end_ < ReadSize / 2) data_.resize(end_ + ReadSize);
    const std::int64_t got = file_.read(data_.data() + end_, data_.size() - end_);
    if (got <= 0) {
        // A failed read ends the data too, and is remembered: what was read is not all.
        failed_ = got < 0;
        atEnd_ = true;
        file_.close();
        return false;
    }
    const std::size_t from = end_;
    end_ += static_cast<std::size_t>(got);
    applyTextMode(from);
    return true;
}

bool LineSource::readLine(std::string_view& line) {
    if (!open_) return false;
    for (std::size_t searched = pos_;;) {
        const void* found = std::memchr(data_.data() + searched, '\n', end_ - searched);
        if (found != nullptr) {
            const auto at =
                static_cast<std::size_t>(static_cast<const char*>(found) - data_.data());
            line = std::string_view(data_.data() + pos_, at - pos_);
            pos_ = at + 1;
            return true;
        }
        const std::size_t searchedBytes = end_ - pos_;
        if (!fill()) break;
        searched = pos_ + searchedBytes;
    }
    // The last line, without a line feed after it.
    if (pos_ >= end_) return false;
    line = std::string_view(data_.data() + pos_, end_ - pos_);
    pos_ = end_;
    return true;
}

bool LineSource::readCrLine(std::string_view& line) {
    if (!open_) return false;
    // A carriage return that ended the last line at the buffer's end: a line feed first
    // thing now belongs to it.
    if (skipLineFeed_) {
        if (pos_ == end_) fill();
        if (pos_ < end_ && data_[pos_] == '\n') ++pos_;
        skipLineFeed_ = false;
    }
    std::size_t end = pos_;
    for (;;) {
        end = static_cast<std::size_t>(findLineEnd(data_.data() + end, data_.data() + end_) -
                                       data_.data());
        if (end < end_) break;
        // fill moves the unread bytes to the front, whether or not more came.
        const std::size_t scanned = end - pos_;
        const bool more = fill();
        end = pos_ + scanned;
        if (!more) break;
    }
    if (end == end_) {
        if (pos_ >= end_) return false;
        line = std::string_view(data_.data() + pos_, end_ - pos_);
        pos_ = end_;
        return true;
    }
    line = std::string_view(data_.data() + pos_, end - pos_);
    pos_ = end + 1;
    // CR LF is one line end; a lone CR or a lone LF is one too.
    if (data_[end] == '\r') {
        if (pos_ < end_) {
            if (data_[pos_] == '\n') ++pos_;
        } else {
            skipLineFeed_ = true;
        }
    }
    return true;
}

bool LineSource::readBytes(std::string& out, std::size_t bytes) {
    if (!open_) return false;
    if (pos_ == end_ && !fill()) return false;
    if (skipLineFeed_) {
        skipLineFeed_ = false;
        if (data_[pos_] == '\n' && ++pos_ == end_ && !fill()) return false;
    }
    const std::size_t taken = std::min(bytes, end_ - pos_);
    out.append(data_.data() + pos_, taken);
    pos_ += taken;
    return true;
}

bool CSVFile::open(const std::string& path) {
    close();
    return file_.open(path, true);
}

bool CSVFile::openBytes(std::string bytes) {
    close();
    return file_.openBytes(std::move(bytes), true);
}

void CSVFile::close() {
    file_.close();
    line = {};
    pos_ = 0;
}

bool CSVFile::readLine() {
    if (!file_.isOpen()) return false;
    pos_ = 0;
    // At the end of the data the line comes back empty, as a failed getline leaves it.
    if (!file_.readLine(line)) {
        line = {};
        return false;
    }
    // A NUL ends the line, as the C string it was read into would end there.
    line = line.substr(0, line.find('\0'));
    return true;
}

bool CSVFile::nextField(std::string_view& field) {
    if (!file_.isOpen() || pos_ >= line.size()) return false;
    // Find the comma that ends the field; commas between double quotes do not count.
    bool quoted = false;
    bool quotes = false;
    std::size_t end = pos_;
    for (; end < line.size(); ++end) {
        const char c = line[end];
        if (c == '"') {
            quoted = !quoted;
            quotes = true;
        } else if (c == ',' && !quoted) {
            break;
        }
    }
    std::string_view raw = trimBlanks(line.substr(pos_, end - pos_));
    pos_ = end < line.size() ? end + 1 : line.size();
    if (!quotes) {
        field = raw;
        return true;
    }
    // The trimUnquote rule: the trimmed text with every double quote left out. A text quoted
    // at both ends and nowhere else is the view between them.
    if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"' &&
        raw.substr(1, raw.size() - 2).find('"') == std::string_view::npos) {
        field = raw.substr(1, raw.size() - 2);
        return true;
    }
    unquoted_.clear();
    for (char c : raw) {
        if (c != '"') unquoted_ += c;
    }
    field = unquoted_;
    return true;
}

bool CSVFile::nextField(std::string& field) {
    std::string_view view;
    if (!nextField(view)) return false;
    field.assign(view);
    return true;
}

bool INIFile::open(const std::string& path) {
    close();
    return file_.open(path, true);
}

bool INIFile::openBinary(const std::string& path) {
    close();
    return file_.open(path, false);
}

bool INIFile::openBytes(std::string bytes, bool textMode) {
    close();
    return file_.openBytes(std::move(bytes), textMode);
}

void INIFile::close() { file_.close(); }

bool INIFile::readLine() {
    if (!file_.isOpen()) return false;
    std::string_view read;
    if (!file_.readLine(read)) {
        line.clear();
        return false;
    }
    // A NUL ends the line, as the C string it was read into would end there.
    line.assign(read.substr(0, read.find('\0')));
    return splitKeyValue(line, key, value);
}

bool INIFile::readCrLine() {
    std::string_view read;
    if (!file_.readCrLine(read)) return false;
    return splitKeyValue(read, key, value);
}

bool INIFile::splitKeyValue(std::string_view text, std::string& key, std::string& value) {
    std::string_view keyView;
    std::string_view valueView;
    splitKeyValue(text, keyView, valueView);
    key.assign(keyView);
    value.assign(valueView);
    return true;
}

void INIFile::splitKeyValue(std::string_view text, std::string_view& key, std::string_view& value) {
    // The "=" is looked for as in a C string: not past a NUL byte.
    const std::string_view cString = text.substr(0, text.find('\0'));
    const std::size_t equals = cString.find('=');
    if (equals == std::string_view::npos) {
        key = trimBlanks(text);
        value = {};
    } else {
        key = trimBlanks(text.substr(0, equals));
        value = trimBlanks(text.substr(equals + 1));
    }
}

bool CSVFile::atHeaderRow() const {
    if (line.size() < 2 || line[0] != '"') return false;
    const char c = line[1];
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
