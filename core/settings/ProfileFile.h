#pragma once

#include <QString>

#include <utility>
#include <vector>

// An INI file of "[Section]" headers and "key=value" lines, read and written one value at a time.
// Section and key names match without regard to case. A write changes only the line of its key (or
// adds one) and keeps every other byte of the file; the file is replaced in one rename once the new
// text is completely written, so a failure leaves the old file as it was. Every call reads the file
// afresh, so several writers in one program never overwrite each other's values.
class ProfileFile {
public:
    using KeyValues = std::vector<std::pair<QString, QString>>;

    explicit ProfileFile(QString path) : path_(std::move(path)) {}

    const QString& path() const { return path_; }

    // The value with blanks around it removed and one pair of enclosing quotes taken off, or
    // defaultValue when the file, the section or the key is missing.
    QString readString(const QString& section, const QString& key, const QString& defaultValue = {}) const;

    // Sets one value; creates the file and its folder when missing. False when the names or the value
    // cannot be stored (line breaks, '=' in a key, ']' in a section) or the file cannot be replaced.
    bool writeString(const QString& section, const QString& key, const QString& value) const;

    // Sets several values of one section in the given order with one replacement of the file. Other
    // keys of the section stay.
    bool writeSection(const QString& section, const KeyValues& values) const;

private:
    QString path_;
};
