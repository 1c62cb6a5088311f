#include "skin/jpegscan.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

struct ErrorManager
{
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char firstProblem[JMSG_LENGTH_MAX] = {};
};

void keepProblem(j_common_ptr info)
{
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    if (errors->firstProblem[0] == '\0')
        (*info->err->format_message)(info, errors->firstProblem);
}

void leaveOnError(j_common_ptr info)
{
    keepProblem(info);
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// Level -1 is a warning about the data (corrupt or cut short); higher levels
// are trace messages.
void keepWarning(j_common_ptr info, int level)
{
    if (level < 0) {
        ++info->err->num_warnings;
        keepProblem(info);
    }
}

} // namespace

JpegScan JpegScan::of(const QByteArray& data)
{
    JpegScan scan;
    jpeg_decompress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = leaveOnError;
    errors.base.emit_message = keepWarning;
    // Declared before the jump point: nothing with a destructor is made after it.
    std::vector<JSAMPLE> row;
    if (setjmp(errors.jump) == 0) {
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()), static_cast<unsigned long>(data.size()));
        jpeg_read_header(&info, TRUE);
        // Only whether the data decodes matters, not the pixels' exact values.
        info.dct_method = JDCT_IFAST;
        info.do_fancy_upsampling = FALSE;
        jpeg_start_decompress(&info);
        row.resize(size_t(info.output_width) * size_t(info.output_components));
        JSAMPROW rows[1] = { row.data() };
        while (info.output_scanline < info.output_height)
            jpeg_read_scanlines(&info, rows, 1);
        jpeg_finish_decompress(&info);
        scan.whole = errors.base.num_warnings == 0;
    }
    jpeg_destroy_decompress(&info);
    if (!scan.whole)
        scan.problem = QString::fromLatin1(errors.firstProblem);
    return scan;
}
