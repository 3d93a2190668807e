// Rendering the coefficient image into 24-bit BGR rows.
#include "DllImage.h"

int CDllImage::RenderToBitmap(BYTE*, int, int) { return 0; }
