// The other side of a size whose aspect is locked: given = the side just
// typed, its share of the locked aspect and the other side's share. Both the
// resize editor and the resize panel keep their two sizes in step with it.
#pragma once

// given x otherAspect / givenAspect in 64 bits, truncated toward zero and
// clamped to 1..2147483647, so the result is always a size an edit can show.
// A locked ratio with a zero (or negative) givenAspect gives no ratio:
// otherNow is returned unchanged.
int LockedAspectSide(int given, int givenAspect, int otherAspect, int otherNow);
