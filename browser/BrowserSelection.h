// IBrowserSelection: what runs over files need of the folder browser: its
// selection, and the three calls that bring the listing up to date after a
// run. The frame hands out one; until the browser exists it is the empty
// selection below, whose calls do nothing. Tests install their own.
#pragma once

#include "FileListEntry.h"

#include <QString>

#include <vector>

class IBrowserSelection {
public:
    virtual ~IBrowserSelection() = default;
    // The focused item's entry first (selected or not), then every other
    // selected item's entry in list order. Names carry no folder part.
    virtual std::vector<FileListEntry> GetSelectedEntries() = 0;
    // Whether GetSelectedEntries would give anything; the menu update asks
    // this often, so a browser answers it without building the vector.
    virtual bool HasSelection() { return !GetSelectedEntries().empty(); }
    // The thumbnail of the open image is made again.
    virtual void RequeueCurrentThumbnail() = 0;
    // The thumbnail of the file at `path` is made again.
    virtual void QueueThumbnail(const QString& path) = 0;
    // Lists the current folder again; mode 2 adds only new entries.
    virtual void ShowFolder(const QString& folder, int mode) = 0;
    // The open image was saved under `path`: selection and focus go to its
    // item alone, or nowhere when it is not in the listed folder.
    virtual void FollowOpenImage(const QString& path) { (void)path; }
};

class CNoBrowserSelection final : public IBrowserSelection {
public:
    std::vector<FileListEntry> GetSelectedEntries() override { return {}; }
    bool HasSelection() override { return false; }
    void RequeueCurrentThumbnail() override {}
    void QueueThumbnail(const QString&) override {}
    void ShowFolder(const QString&, int) override {}
};
