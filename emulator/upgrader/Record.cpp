#include "Record.h"

#include <filesystem>
#include <fstream>

Record::Record(std::string path)
    : m_path(std::move(path))
{
}

void Record::write(const std::string &text) const
{
    if (m_path.empty())
        return;
    // u8path: the path is UTF-8 on every system (wide on Windows underneath).
    std::ofstream file(std::filesystem::u8path(m_path), std::ios::binary | std::ios::app);
    file << text;
}

void Record::line(const std::string &key, const std::string &value) const
{
    write(key + ' ' + value + '\n');
}

void Record::line(const std::string &key) const
{
    write(key + '\n');
}

void Record::bytes(const std::string &key, const std::string &data) const
{
    line(key + "-hex", hex(data));
    std::string text;
    for (char c : data) {
        if (c == '\n')
            text += "\\n";
        else
            text += c;
    }
    line(key, text);
}

std::string Record::hex(const std::string &data)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (char c : data) {
        const auto byte = static_cast<unsigned char>(c);
        text += digits[byte >> 4];
        text += digits[byte & 0x0f];
    }
    return text;
}
