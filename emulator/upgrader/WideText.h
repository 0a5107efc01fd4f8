#pragma once

#include <string>

// UTF-8 to and from the UTF-16 text of Windows' wide functions (WideText_win.cpp).
namespace WideText {

// `length` characters of `text`, or up to its terminator when -1.
std::string utf8(const wchar_t *text, int length = -1);
std::wstring wide(const std::string &text);

}
