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
#include <jerror.h>
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

// Block arrays over memory of our own (the coefficient image, or a buffer of
// the same layout), standing in for libjpeg's virtual block arrays so that a
// codec reads and writes blocks in place instead of in whole-image arrays of
// its own. `base` points at row 0; rows are `stride` blocks apart. The
// descriptor comes from the codec's image pool. A codec using such arrays must
// have its `mem->access_virt_barray` set to AccessBlockArray.
jvirt_barray_ptr MakeBlockArray(j_common_ptr cinfo, JCOEF* base, size_t stride, JDIMENSION numRows);
JBLOCKARRAY AccessBlockArray(j_common_ptr cinfo, jvirt_barray_ptr array, JDIMENSION startRow, JDIMENSION numRows,
                             boolean writable);

// Largest sampling factors of a decoder's components (at least 1).
void MaxSamplingFactors(j_decompress_ptr cinfo, int* maxH, int* maxV);
