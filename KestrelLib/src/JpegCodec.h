// Shared libjpeg plumbing: the error manager with its jump context and the
// memory source manager. A codec error long-jumps back to the operation that
// armed the context; that operation cleans up and fails.
//
// Rules for code that arms a context with setjmp: only trivially destructible
// locals may live across it, and locals changed after it must be volatile.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdio>

extern "C" {
#include <jpeglib.h>
}

struct KsErrorMgr {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

// Initialises the manager (error_exit jumps with value 1, messages are silent)
// and returns the pointer to store in a codec object's `err`.
jpeg_error_mgr* InitErrorMgr(KsErrorMgr* mgr);

// Source manager over a caller's buffer. Running out of data is a codec error.
struct KsMemorySource {
    jpeg_source_mgr pub;
};
void AttachMemorySource(j_decompress_ptr cinfo, KsMemorySource* src, const unsigned char* data, size_t size);

// Largest sampling factors of a decoder's components (at least 1).
void MaxSamplingFactors(j_decompress_ptr cinfo, int* maxH, int* maxV);
