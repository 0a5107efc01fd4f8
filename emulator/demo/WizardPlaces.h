#pragma once

#include <QPoint>

// Where the wizard's controls are, in the coordinates of its visible 1000 x 720
// rectangle: the places the walker clicks through the X server and the wizard's
// tests click inside the window. Each is the middle of the control.
namespace WizardPlaces {

constexpr QPoint StartButton{60 + 62, 572 + 19};          // start page: 124 x 38 at (60, 572)
constexpr QPoint CheckBox{550 + 12, 620 + 50};            // footer (100 high at y 620): 24 x 24 at x 550, centred
constexpr QPoint ConfirmButton{812 + 70, 620 + 30 + 20};  // footer: 140 x 40 at (812, 30)
constexpr QPoint CloseButton{1000 - 7 - 16, 16};          // title bar: 32 x 32, 7 from the right

}
