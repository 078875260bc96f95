#pragma once
// JPEG pictures decoded with libjpeg.
#include <QByteArray>
#include <QImage>

namespace ecu {

// The decoded picture, or a null image when data is not a JPEG libjpeg can read.
QImage DecodeJpeg(const QByteArray& data);

} // namespace ecu
