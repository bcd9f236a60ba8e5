#pragma once

#include <string>
#include <utility>
#include <vector>

// An INI file of "[Section]" headers and "key=value" lines, read and written one value at a time.
// Section and key names match without regard to ASCII case. Text is UTF-8. A write changes only the line of its key (or
// adds one) and keeps every other byte of the file; the file is replaced in one rename once the new
// text is completely written, so a failure leaves the old file as it was. Every call reads the file
// afresh, so several writers in one program never overwrite each other's values.
class ProfileFile {
public:
    using KeyValues = std::vector<std::pair<std::string, std::string>>;

    explicit ProfileFile(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    // The value with blanks around it removed and one pair of enclosing quotes taken off, or
    // defaultValue when the file, the section or the key is missing.
    std::string readString(const std::string& section, const std::string& key,
                           const std::string& defaultValue = {}) const;

    // Sets one value; creates the file and its folder when missing. False when the names or the value
    // cannot be stored (line breaks, '=' in a key, ']' in a section) or the file cannot be replaced.
    bool writeString(const std::string& section, const std::string& key, const std::string& value) const;

    // Sets several values of one section in the given order with one replacement of the file. Other
    // keys of the section stay.
    bool writeSection(const std::string& section, const KeyValues& values) const;

private:
    std::string path_;
};
