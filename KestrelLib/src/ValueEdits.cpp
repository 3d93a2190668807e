// Value edits on the coefficients: levels, grayscale, bitmap changes, reconstruct.
#include "DllImage.h"

int CDllImage::Reconstruct(int, ReconstructProgressCallback) { return 0; }
int CDllImage::ApplyBitmapChanges(BYTE**, int, int, BitmapChangeStats*) { return 0; }
int CDllImage::ConvertToGrayscale() { return 0; }
int CDllImage::AdjustLevels(int, int, int) { return 0; }
