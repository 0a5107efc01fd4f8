#include "Record.h"

#include <filesystem>
#include <fstream>

void Record::write(const std::string &text) const
{
    if (m_path.empty())
        return;
    std::string escaped;
    for (char c : text)
        escaped += c == '\n' ? std::string("\\n") : std::string(1, c);
    // u8path: the path is UTF-8 on every system (wide on Windows underneath).
    std::ofstream file(std::filesystem::u8path(m_path), std::ios::binary | std::ios::app);
    file << escaped << '\n';
}
