// The three rows the brightness and colour editors share (the operation
// editor and the mode panel): a label at each end of a trackbar, an edit and
// a spin, with their ids. Row 0 is the brightness, rows 1 and 2 the two
// colour shifts. Each owner lays the rows out and stores the values.
#pragma once

#include <functional>

class CIntEdit;
class CSpinButton;
class QLabel;
class QObject;
class QSlider;
class QWidget;

class CColorRows {
public:
    struct Row {
        QLabel* left = nullptr;
        QSlider* trackbar = nullptr;
        QLabel* right = nullptr;
        CIntEdit* edit = nullptr;
        CSpinButton* spin = nullptr;
    };

    // Creates the rows under `parent`, unplaced, connected with `context`:
    // an edit's change calls onEdit(row), a trackbar's end of move writes
    // its edit, a spin step writes the edit from *value(row) (nothing while
    // value returns null).
    void Create(QWidget* parent, QObject* context, std::function<void(int)> onEdit,
                std::function<const int*(int)> value);
    void Clear();
    // The edits take -100 to 100.
    void SetRanges();
    // The colour rows are enabled unless the open image is grayscale.
    void EnableColorRows();
    // Shows `value` in the row's edit (when its text differs) and trackbar.
    void Show(int row, int value);
    // Stores the row's edit value in `stored` and moves the trackbar to it;
    // false, touching nothing, when they are equal.
    bool Store(int row, int& stored);

    Row m_rows[3];
};
