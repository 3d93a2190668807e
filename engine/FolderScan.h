// The one folder listing rule, shared by the folder-listing worker, the
// browser's refresh and the collecting of a batch's files.
//
// An entry is listed when, with symbolic links followed, it is a folder, or a
// regular file whose extension is one of kJpegExtensions. Everything else is
// left out: "." and "..", FIFOs, sockets, devices, dangling links, and names
// that are not valid UTF-8 (such a name cannot be turned back into the same
// path once it is held as UTF-16). Dot files are listed.
#pragma once

#include "FileListEntry.h"

#include <QString>

#include <functional>

// Upper case, a comma before and after each extension.
inline constexpr char16_t kJpegExtensions[] = u",JPG,JPEG,JPE,";

// True when the text after the last '.' of `name`, upper-cased and enclosed
// in commas, occurs in kJpegExtensions. A name without '.' is no JPEG, nor
// one whose extension holds a comma.
bool IsJpegFileName(const QString& name);

// Called once per listed entry; returns false to end the scan early.
using FolderScanVisitor = std::function<bool(FileListEntry&& entry)>;

// Lists `folder` in the file system's order. Returns false when the folder
// cannot be opened (nothing is visited then); an empty path lists nothing.
bool ScanFolder(const QString& folder, const FolderScanVisitor& visit);
