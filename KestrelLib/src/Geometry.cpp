// Lossless geometric edits on the block grid.
#include "DllImage.h"

int CDllImage::Crop(int, int, int, int) { return 0; }
int CDllImage::FlipHorizontal(int) { return 0; }
int CDllImage::FlipVertical(int) { return 0; }
int CDllImage::RotateLeft(int) { return 0; }
int CDllImage::RotateRight(int) { return 0; }
