// File operations on UTF-16 paths (the library's path representation).
#pragma once

#include <cstdio>
#include <string>

// Opens a file named by a zero-terminated UTF-16 path; null on failure.
// Read-only modes open regular files only (never block on a FIFO).
FILE* OpenFileW(const char16_t* path, const char* mode);
bool DeleteFileW(const char16_t* path);
// Atomically replaces `to` with `from` (rename).
bool MoveFileW(const char16_t* from, const char16_t* to);
std::string PathToNative(const char16_t* path);
