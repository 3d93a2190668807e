// CropParams: the parameter block of the crop operation, shared by the
// operation, its editor pages and the crop edit. Fields in the operation's
// order; the operation registers their keys.
#pragma once

#include <QString>

struct CropParams {
    QString CropPreset;              // CropRule text of the chosen preset; empty = free rectangle
    int FlipAspect = 0;              // use the preset turned by a quarter
    int AutoFlipAspect = 1;          // portrait images exchange the preset's width and height
    int AlignSelectionByBlock = 0;   // the crop mode aligns its selection to blocks
    int AlignSelectionByBlockSE = 0; // a crop without preset aligns its size to whole blocks
    int Position = 1;                // unattended placement: 0 none, 1 previous, 2 centre, 3 top left
    int AllowOutwardSel = 1;         // the rectangle may reach beyond the image
    int CanvasColor = 0xFFFFFF;      // COLORREF (0x00BBGGRR) of the area outside the image
    int PartialBlocksMode = 2;       // 0 round in, 1 round out, 2 recompress
    int AutoCancelSelection = 1;
    int RunningAnts = 1;
    int FadeOutsideArea = 1;
    int ImgLowQuality = 150;
    int ImgMediumQuality = 300;
    // The stored rectangle in image pixels; the application's crop operation
    // keeps the interactive selection here.
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    // The crop rectangle the operation computed for one image (no key).
    int CropLeft = 0;
    int CropTop = 0;
    int CropRight = 0;
    int CropBottom = 0;
    int CurTab = 0;
};
