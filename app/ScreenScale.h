#pragma once

// How a screen's scale becomes the scale the wizard is drawn at.
class ScreenScale
{
public:
    // Sets the rounding of fractional scale factors for the application to come;
    // called before the application object exists. Cannot fail.
    static void chooseRounding();
};
