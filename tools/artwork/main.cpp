// Draws the program's glyphs and about picture into the given folders.
//   ecu-artwork GLYPH_DIR PICTURE_DIR
#include "AboutPicture.h"
#include "Glyphs.h"
#include "JpegWriter.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: ecu-artwork GLYPH_DIR PICTURE_DIR\n");
        return 2;
    }
    const QDir glyphs(QString::fromLocal8Bit(argv[1]));
    const QDir pictures(QString::fromLocal8Bit(argv[2]));
    for (const artwork::Glyph& g : artwork::DrawGlyphs()) {
        if (!g.image.save(glyphs.filePath(g.name + QStringLiteral(".png")), "PNG")) {
            std::fprintf(stderr, "ecu-artwork: cannot write %s.png\n", qPrintable(g.name));
            return 1;
        }
    }
    QString error;
    if (!artwork::WriteJpeg(artwork::DrawAboutPicture(),
                            pictures.filePath(QStringLiteral("about.jpg")), 88, error)) {
        std::fprintf(stderr, "ecu-artwork: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
