// SaveSettings: the parameter record of the save operation. The library's
// SaveOptions takes the fields that say how the JPEG is written
// (SaveOptionsFromSettings); the rest name the target file and steer the
// confirmations of the interactive commands.
//
// The save operation, its editor page and the file commands share this one
// record; the page edits it in place.
#pragma once

#include <QString>

struct SaveSettings {
    int CompressionMode = 0;    // 0 write the coefficients as they are; 1 encode the bitmap again
    int Quality = 75;           // quality of a new encoding
    int ColorSampling = 1;      // 0 favour quality (1 x 1), 1 favour size (2 x 2)
    int OptHuffmanTable = 1;
    int RetainOriginalTime = 1;
    int AutoSave = 0;           // save on image close or leave (file commands)
    int ConfirmSave = 0;        // ask before an interactive save
    int UseSaveSuffix = 0;
    QString SaveSuffix = QStringLiteral("_copy");
    int UseDstFolder = 0;
    QString DstFolder;          // absolute, or relative to the current folder
    int SaveComments = 1;
    int SaveEXIF = 1;
    int GenerateEXIFThumb = 2;  // 0 discard, 1 keep existing, 2 update
    int EXIFThumbSize = 160;
    int OriginalSaveAsFolder = 1;
    int UseSaveAsSuffix = 1;
    QString SaveAsSuffix = QStringLiteral("_copy");
    int CurTab = 0;             // tab last shown in the editor
    // The explicit target of one save (empty: the image's own path or the
    // name the suffix and folder give). Never registered: not persisted, not
    // written to text, not copied by a clone.
    QString TargetPath;
};
