// Shared text and rounding routines. Lengths and positions in text are
// UTF-16 code units (QString). Numbers are formatted and parsed the same way
// in every locale.
#pragma once

#include <QPoint>
#include <QString>

#include <utility>
#include <vector>

// The number in decimal ("%d"), whatever the user's locale.
QString IntToString(int value);
// Parses a whole decimal number (optional sign, no spaces); false when the
// text is not one or does not fit an int.
bool StringToInt(const QString& text, int* value);
// Reads a decimal number the lenient way of the C library's readers: leading
// white space and one sign are accepted, reading stops at the first
// non-digit, values outside int clamp to INT_MIN or INT_MAX, no locale.
// Without any digit the result is 0 and *digitsRead (when given) is false.
int StringToIntLenient(const QString& text, bool* digitsRead = nullptr);

// (x * num / den, y * num / den), each product formed before the division,
// truncating toward zero; (0, 0) when den is 0. Results that do not fit an
// int are clamped.
void ScalePoint(QPoint* out, int x, int y, int num, int den);

// Backslash escapes of the operation text: "\" -> "\\", then "," -> "\,".
QString EscapeListValue(const QString& value);
// The inverse: "\\" -> "\", then "\," -> ",".
QString UnescapeListValue(const QString& value);
// Cuts the first token off `text` at the first `separator` preceded by an
// even number of backslashes; the token stays escaped and the separator is
// dropped. Without such a separator the whole text is the token.
QString PopToken(QString& text, QChar separator);

// Rounding to multiples of b (b > 0; any other b leaves a unchanged). Any
// sign of a; results that do not fit an int are clamped.
int RoundDownToMultiple(int a, int b);   // floor(a / b) * b
int RoundUpToMultiple(int a, int b);     // ceil(a / b) * b
int RoundToNearestMultiple(int a, int b); // the nearer; a tie goes down
// a - b * trunc(a / b) in floating point, truncated toward zero; 0 when b is
// 0 or not finite.
int FloatModulo(int a, float b);

// One entry of a list kept in one profile value: its name and its text.
using NamedEntry = std::pair<QString, QString>;
// This copy's list `mine` with what another copy changed to turn `base` (the
// list as this copy last read or wrote it) into `theirs` folded in: an entry
// it added goes after the entry it followed there (first when it led the
// list; at the end when that entry is gone), and an entry it removed or
// edited goes or takes its text when `mine` holds it as `base` did; one it
// added that this copy added alike (the same addition, or the same rename
// of one entry) is that one, not a second. Everything else (order, names,
// entries added, removed or edited here) stays as in `mine`; with `theirs`
// equal to `base` the result is `mine`. Entries of one name are told apart
// by their text, then by their order among the others of that name: two of
// one list are never taken for one.
std::vector<NamedEntry> MergeIntoMine(const std::vector<NamedEntry>& base, const std::vector<NamedEntry>& mine,
                                      const std::vector<NamedEntry>& theirs);
