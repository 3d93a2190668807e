// EXIF text placeholders.
#include "DllImage.h"

const char16_t* CDllImage::FormatExifText(BSTR, int, LCID, BSTR, BSTR, int)
{
    return u"";
}
