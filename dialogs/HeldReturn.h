// CHeldReturn: while a dialog holding one is open, a held Return or Enter
// acts once. Its repeated presses would press the focused (or the default)
// button again and again and answer the questions those buttons ask: in the
// macro manager, Remove and its question would take turns until no macro
// was left, and then OK would store the empty list. So every repeated Return
// or Enter is dropped while such a dialog is open, in it and in any window
// over it, and after it has closed until the key is let go, or the keyboard
// goes to another application (which then gets the release). A repeat is a
// press the toolkit flags as one, or one stamped with the time of the key's
// release just before it. Multi-line text fields keep them: there Return
// types a line.
#pragma once

class CHeldReturn {
public:
    CHeldReturn();
    ~CHeldReturn();
    CHeldReturn(const CHeldReturn&) = delete;
    CHeldReturn& operator=(const CHeldReturn&) = delete;
};
