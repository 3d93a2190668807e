// The resize operation's parameter block, read by CActionResize.
#pragma once

struct ResizeParams {
    int Units = 1;          // 0 percent, otherwise pixels
    int PixelsWidth = 800;  // largest width in pixels
    int PixelsHeight = 600; // largest height in pixels
    int Percent = 100;
    int LockAspect = 1;     // an option of the editor page only
    int AutoSwap = 1;       // exchange width and height to match the image's orientation
    int DontEnlarge = 1;
    int KeepProportions = 1;
};
