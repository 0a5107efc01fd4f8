#pragma once

#include <string>

// The stand-in's account of what it was given and what it did: lines
// "<key> <value>" appended to the file at `path` (UTF-8; nothing when it is
// empty). Each line is written and closed at once, so a reader that polls the
// file sees whole lines.
class Record
{
public:
    explicit Record(std::string path);

    // "<key> <value>" (also when `value` is empty), or "<key>" alone.
    void line(const std::string &key, const std::string &value) const;
    void line(const std::string &key) const;
    // Bytes as two lines: "<key>-hex <hex digits>" and "<key> <bytes>" (as they
    // are, line breaks shown as \n).
    void bytes(const std::string &key, const std::string &data) const;

    // Lower-case hex digits of `data`, two per byte.
    static std::string hex(const std::string &data);

private:
    void write(const std::string &text) const;

    std::string m_path;
};
