// The red-eye operation's parameter block, edited in place by its page and
// the red-eye mode and read by CActionRedEye.
#pragma once

#include <QPoint>

#include <vector>

struct RedEyeParams {
    int RedEyeRadius = 10;      // pixels around each point
    int RedEyeSensitivity = 50; // higher finds more red
    int RedEyeDarkening = 10;
    std::vector<QPoint> Points; // image pixels, in the order clicked (not persisted)
};
