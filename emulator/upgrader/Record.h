#pragma once

#include <string>

// The stand-in's account of what it was given and what it did: lines
// "<key> <value>" appended to the file at `path` (UTF-8; nothing when it is
// empty), a line break inside a value shown as \n. Each line is written and
// closed at once, so a reader that polls the file sees whole lines.
class Record
{
public:
    explicit Record(std::string path) : m_path(std::move(path)) {}

    // "<key> <value>" (also when `value` is empty), or "<key>" alone.
    void line(const std::string &key, const std::string &value) const { write(key + ' ' + value); }
    void line(const std::string &key) const { write(key); }

private:
    void write(const std::string &text) const;

    std::string m_path;
};
