// The image view's cursors. Negative ids name system shapes, positive ids
// the program's own cursor drawings.
#pragma once

#include <QCursor>

enum ViewCursorId : int {
    kCursorCrop = 136,
    kCursorOpenHand = 137,   // the default mode
    kCursorClosedHand = 138, // panning
    kCursorRedEye = 139,
    kCursorSelect = 140,     // selection cross, also paste
    kCursorPointingHand = 151, // over a web link
};

// The cursor for an id: -1 arrow, -2 I-beam, -3 wait, -4 cross, -5 up arrow,
// -6 size all, -7 size NW-SE, -8 size NE-SW, -9 size W-E, -10 size N-S, or one
// of the drawings above. Any other id gives the arrow.
QCursor ViewCursor(int cursorId);
