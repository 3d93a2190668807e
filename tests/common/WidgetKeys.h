// Small helpers for tests that drive Qt widgets and read tags with exiftool.
#pragma once

#include "TestJpeg.h"

#include <QComboBox>
#include <QString>
#include <QTest>

#include <string>

namespace testwin {

// exiftool's value of one tag, or empty without exiftool.
inline QString ExifTool(const std::string& tag, const std::string& file)
{
    std::string out;
    testjpeg::Run("exiftool -s3 -" + tag + " '" + file + "' 2>/dev/null", &out);
    return QString::fromStdString(out).trimmed();
}

// Picks item `index` of a closed drop-down list with the keyboard.
inline void PickByKeys(QComboBox* combo, int index)
{
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Home);
    for (int i = 0; i < index; ++i)
        QTest::keyClick(combo, Qt::Key_Down);
}

} // namespace testwin
