// Scaled thumbnail decoding of another file.
#include "DllImage.h"

int CDllImage::LoadThumbnail(BSTR, BYTE*, int, int, int, int, int, int, int* width, int* height, int)
{
    if (width)
        *width = 0;
    if (height)
        *height = 0;
    return 0;
}
