// FileListEntry: one entry of a listed folder, as the folder browser keeps it
// for each of its items and as the folder scan delivers it.
#pragma once

#include <QString>

#include <cstdint>

struct FileListEntry {
    // File or folder name without the folder part.
    QString name;
    // Last modification time, seconds since 1970 (as stat reports it).
    int64_t lastWriteTime = 0;
    // File size in bytes; 0 for a folder.
    uint64_t size = 0;
    // Picture size in pixels; 0 until the thumbnail worker has measured it.
    int32_t width = 0;
    int32_t height = 0;
    // 1 for a folder, 0 for a file.
    int32_t directory = 0;
};
