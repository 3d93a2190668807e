// Saving: lossless transcode and re-encode.
#include "DllImage.h"

int CDllImage::GetEncodedSize() { return 0; }
int CDllImage::SaveFile(BSTR, const SaveOptions*) { return 0; }
int CDllImage::SaveMemory(BYTE*, int) { return 0; }
