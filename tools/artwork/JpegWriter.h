#pragma once
#include <QImage>
#include <QString>

namespace artwork {

// Writes image as a baseline JPEG through libjpeg; false with a message on failure.
bool WriteJpeg(const QImage& image, const QString& path, int quality, QString& error);

} // namespace artwork
