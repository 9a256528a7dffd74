// SPDX-License-Identifier: MIT
// Renders an SVG file into a square PNG of a given size; the build makes the
// icon's bitmap sizes with it, so that no bitmap is kept in the sources.
//
//   velmora-svg2png <in.svg> <out.png> <size>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Drawing shapes into an image needs no application object (and so no
    // display); the icon holds no text, which would need fonts.
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    bool sizeOk = false;
    const int size = args.size() == 4 ? args.at(3).toInt(&sizeOk) : 0;
    if (!sizeOk || size < 1 || size > 1024) {
        std::fprintf(stderr, "usage: velmora-svg2png <in.svg> <out.png> <size 1..1024>\n");
        return 2;
    }
    QSvgRenderer renderer(args.at(1));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "velmora-svg2png: %s is not a readable SVG\n", qPrintable(args.at(1)));
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        renderer.render(&painter);
    }
    // No text chunks (creation time and the like): the same SVG always gives
    // the same bytes.
    if (!image.convertToFormat(QImage::Format_ARGB32).save(args.at(2), "PNG", 9)) {
        std::fprintf(stderr, "velmora-svg2png: cannot write %s\n", qPrintable(args.at(2)));
        return 1;
    }
    return 0;
}
