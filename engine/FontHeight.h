#pragma once
// Font heights as the settings and dialogs give them: a positive height is the
// character cell (ascent + descent), a negative one the character height
// (Qt's pixel size), 0 keeps the font's size.

#include <QFont>

// ascent + descent
int FontCellHeight(const QFont& font);

// The largest pixel size whose ascent + descent does not exceed `cell`.
void SetFontCellHeight(QFont& font, int cell);

void SetLogicalFontHeight(QFont& font, int height);
