#pragma once

#include "FakeHid.h"

#include <string>

// The stand-in hidapi library's transcript (the file named by
// RT48PX_FAKEHID_TRANSCRIPT): one line per call, in call order. Feature reports
// take the umockdev harness's form, so one reader serves both:
//   device I PATH send length L result R: HEX
//   device I PATH get length L result R: HEX -> HEX of the R bytes returned
// The other calls:
//   hid_init result R
//   hid_exit
//   hid_enumerate VVVV PPPP listed N            (the ids asked for, hex)
//   hid_free_enumeration result 1|0             (1: a list, 0: null)
//   hid_open_path device I PATH result 1|0      (I -1: no such path)
//   hid_close device I
//   FUNCTION device I length L result R[: HEX]  (any other function)
// HEX is lower-case hex bytes separated by blanks; PATH "-" stands for an empty one.
namespace FakeHid {

std::string transcriptLine(const Call &call);

}
