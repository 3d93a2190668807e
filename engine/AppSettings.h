// The application's own settings record: preference sheet page, view and
// window placement, bars, default folders, thumbnail layout and the crop
// guide line. Plain data with defaults, profile load and save.
#pragma once

#include <QString>

class CAppSettings {
public:
    // The thumbnail edge and spacing the preference pages and the browser allow.
    static constexpr int kMinThumbWidth = 40, kMaxThumbWidth = 150;
    static constexpr int kMinThumbSpace = 3, kMaxThumbSpace = 30;

    CAppSettings();
    CAppSettings(const CAppSettings& other) = default;
    CAppSettings& operator=(const CAppSettings& other) = default;

    // Every field from its profile value; a missing or malformed value keeps the current one.
    void Load();
    // Every field to the profile; false when the profile could not take a value.
    bool Save() const;

    // Height of the file-name label under a thumbnail at the screen's scale.
    int GetThumbLabelHeight(int twoLines) const;

    // The engine cannot reach the application object; the program installs the
    // source of the screen scale (percent, 100 at 96 dots per inch) at start-up.
    using DpiScaleSource = int (*)();
    static void SetDpiScaleSource(DpiScaleSource source);

    // The user's pictures folder, else documents, else home, with a trailing "/".
    static QString DefaultFolder();

    int CurrentTab = 0;
    int CurDefaultOper = 0;
    int BackgroundColor = 0xE6E6E6; // COLORREF, 0x00BBGGRR
    int ScaleOnOpen = 1;            // 0 keep scale, 1 shrink to fit, 2 original size
    int PozX = 0;
    int PozY = 0;
    int SzX = 0;                    // 0: no placement stored yet
    int SzY = 0;
    int SortType = 0;               // 0 file name, 1 modification time
    int MainToolbarVisible = 1;
    int StatusbarVisible = 1;
    QString DefaultPath;            // last image, or last folder with a trailing "/"
    QString DefaultPathSave;
    int PreviewPaneWidth = 245;
    int ShowThumbFilename = 1;
    int ThumbWidth = 94; // kMinThumbWidth..kMaxThumbWidth once loaded
    int ThumbSpace = 10; // kMinThumbSpace..kMaxThumbSpace once loaded
    int ThumbBorder = 1;
    int ThumbShadow = 1;
    int DrawMode = 0;               // 0 speed, 1 quality
    int GuideLine = 0;
};
