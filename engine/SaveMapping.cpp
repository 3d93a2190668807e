// How one save's options are chosen. The save settings record does not
// exist yet, so every save uses the library's defaults: a lossless transcode
// that keeps comments and EXIF.
#include "KsImage.h"

SaveOptions SaveOptionsFromSettings(const SaveSettings* /*settings*/)
{
    return DefaultSaveOptions();
}
