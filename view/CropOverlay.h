// The crop selection's overlay, drawn by the view's host for the crop mode
// and by the mode itself.
#pragma once

class CChildView;
class QPainter;
class QRect;

// The canvas colour (the view's background without outward selections)
// where the selection reaches past the image, the outline, then the guide
// lines of the setting GuideLine.
void DrawCropOverlay(QPainter& painter, CChildView& view);
// Guide lines of `kind` (1 diagonals, 2 thirds, 3 golden-mean grid, 4
// golden-mean diagonals; others none) over the client rectangle `selection`,
// in the dashed pattern, stepped only inside `viewport`.
void DrawGuideLines(QPainter& painter, const QRect& viewport, const QRect& selection, int kind);
