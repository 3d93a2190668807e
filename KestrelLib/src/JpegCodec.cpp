#include "JpegCodec.h"

namespace {

[[noreturn]] void ErrorExit(j_common_ptr cinfo)
{
    auto* mgr = reinterpret_cast<KsErrorMgr*>(cinfo->err);
    std::longjmp(mgr->jump, 1);
}

void OutputMessage(j_common_ptr) {}

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo)
{
    // Out of data: fail the operation instead of inventing an end of image.
    cinfo->err->msg_code = 0;
    cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo));
    return FALSE;
}

void SkipInputData(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr* src = cinfo->src;
    if (static_cast<size_t>(count) > src->bytes_in_buffer) {
        FillInputBuffer(cinfo);
        return;
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<size_t>(count);
}

struct KsBlockArray {
    JBLOCKROW* rows;
    JDIMENSION numRows;
};

} // namespace

jvirt_barray_ptr MakeBlockArray(j_common_ptr cinfo, JCOEF* base, size_t stride, JDIMENSION numRows)
{
    auto* array = static_cast<KsBlockArray*>((*cinfo->mem->alloc_small)(cinfo, JPOOL_IMAGE, sizeof(KsBlockArray)));
    array->rows = static_cast<JBLOCKROW*>(
        (*cinfo->mem->alloc_small)(cinfo, JPOOL_IMAGE, sizeof(JBLOCKROW) * (numRows ? numRows : 1)));
    array->numRows = numRows;
    for (JDIMENSION r = 0; r < numRows; ++r)
        array->rows[r] = reinterpret_cast<JBLOCKROW>(base + static_cast<size_t>(r) * stride * DCTSIZE2);
    return reinterpret_cast<jvirt_barray_ptr>(array);
}

JBLOCKARRAY AccessBlockArray(j_common_ptr cinfo, jvirt_barray_ptr ptr, JDIMENSION startRow, JDIMENSION numRows,
                             boolean)
{
    auto* array = reinterpret_cast<KsBlockArray*>(ptr);
    if (startRow > array->numRows || numRows > array->numRows - startRow) {
        cinfo->err->msg_code = JERR_BAD_VIRTUAL_ACCESS;
        cinfo->err->error_exit(cinfo);
    }
    return array->rows + startRow;
}

jpeg_error_mgr* InitErrorMgr(KsErrorMgr* mgr)
{
    jpeg_error_mgr* err = jpeg_std_error(&mgr->pub);
    err->error_exit = ErrorExit;
    err->output_message = OutputMessage;
    return err;
}

void AttachMemorySource(j_decompress_ptr cinfo, KsMemorySource* src, const unsigned char* data, size_t size)
{
    src->pub.next_input_byte = data;
    src->pub.bytes_in_buffer = size;
    src->pub.init_source = InitSource;
    src->pub.fill_input_buffer = FillInputBuffer;
    src->pub.skip_input_data = SkipInputData;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = TermSource;
    cinfo->src = &src->pub;
}

void MaxSamplingFactors(j_decompress_ptr cinfo, int* maxH, int* maxV)
{
    int h = 1, v = 1;
    for (int c = 0; c < cinfo->num_components; ++c) {
        if (cinfo->comp_info[c].h_samp_factor > h)
            h = cinfo->comp_info[c].h_samp_factor;
        if (cinfo->comp_info[c].v_samp_factor > v)
            v = cinfo->comp_info[c].v_samp_factor;
    }
    *maxH = h;
    *maxV = v;
}
