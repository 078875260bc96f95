#include "app/JpegImage.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace ecu {

namespace {
// libjpeg reports fatal errors through error_exit, which must not return: jump
// back to the decoder, which then gives up on the picture.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf escape;
};

void OnFatalError(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->escape, 1);
}

void OnWarning(j_common_ptr, int) {}

// Plain C state only between setjmp and longjmp: no destructor is skipped.
bool Decode(const unsigned char* bytes, unsigned long size, QImage* out) {
    jpeg_decompress_struct cinfo{};
    ErrorManager errors{};
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnFatalError;
    errors.base.emit_message = OnWarning;
    if (setjmp(errors.escape)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes, size);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    *out = QImage(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height),
                  QImage::Format_RGB888);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out->scanLine(static_cast<int>(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}
} // namespace

QImage DecodeJpeg(const QByteArray& data) {
    if (data.isEmpty())
        return {};
    // Lives above the jump point: a failed decode skips no destructor of it.
    QImage image;
    if (!Decode(reinterpret_cast<const unsigned char*>(data.constData()),
                static_cast<unsigned long>(data.size()), &image))
        return {};
    return image;
}

} // namespace ecu
