#include "FakeHid.h"

std::string FakeHid::defaultPath(int index)
{
    return "/fake/hidraw" + std::to_string(index);
}
