// The wildcard file finder over the platform's directory search, and the rule that tells an
// input file's format from its name.
#include "record/FindFile.h"

#include "platform/platform.h"

std::string FindFile::find(const std::string& searchPattern) {
    // The pattern is taken before `name` is emptied: the caller may pass this object's own
    // name (a full path kept there), which would otherwise be searched as an empty pattern.
    pattern = searchPattern;
    name.clear();
    // Both separators count, so ../data/*.csv names files in ../data/ and not here.
    const std::size_t cut = pattern.find_last_of("\\/");
    directory = cut == std::string::npos ? std::string(".\\") : pattern.substr(0, cut + 1);
    close();
    platform::DirEntry entry;
    handle = platform::findFirst(pattern, entry);
    if (handle < 0) {
        handle = -1;
        return name;
    }
    if (entry.isDirectory) return find();
    name = entry.name;
    modified = platform::localTimeText(entry.lastWriteUtc);
    return name;
}

std::string FindFile::find() {
    name.clear();
    platform::DirEntry entry;
    while (handle >= 0) {
        if (!platform::findNext(handle, entry)) {
            close();
            break;
        }
        if (entry.isDirectory) continue;
        name = entry.name;
        modified = platform::localTimeText(entry.lastWriteUtc);
        break;
    }
    return name;
}

void FindFile::close() {
    if (handle >= 0) platform::findClose(handle);
    handle = -1;
}

std::string directoryPrefix(const std::string& directory) {
    if (directory.empty() || directory.back() == '\\' || directory.back() == '/') return directory;
    return directory + '\\';
}

int detectInputType(const std::string& fileName) {
    const std::size_t dot = fileName.rfind('.');
    const std::string_view extension =
        dot == std::string::npos ? std::string_view() : std::string_view(fileName).substr(dot + 1);
    if (extension == "csv" || extension == "CSV") {
        if (fileName.find("WUInfo") != std::string::npos) return 0;
        if (fileName.find("SETILog") != std::string::npos) return 2;
        if (fileName.find("st_") != std::string::npos) return -1;
        return 1;
    }
    return fileName == "ss_past_data.txt" ? 3 : -1;
}
