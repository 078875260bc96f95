#include "JpegWriter.h"

#include <QFile>

#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace artwork {

bool WriteJpeg(const QImage& image, const QString& path, int quality, QString& error) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    std::FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!out) {
        error = QStringLiteral("cannot create %1").arg(path);
        return false;
    }
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr); // errors here end the tool, which is what we want
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = static_cast<JDIMENSION>(rgb.width());
    cinfo.image_height = static_cast<JDIMENSION>(rgb.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        // libjpeg takes non-const rows; it does not write through them.
        auto* row = const_cast<JSAMPLE*>(rgb.constScanLine(static_cast<int>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    if (std::fclose(out) != 0) {
        error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}

} // namespace artwork
