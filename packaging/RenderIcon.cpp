// Renders an SVG picture to square PNG files, one per size, at build time:
//   quorvel-render-icon SOURCE.svg OUTPUT_PATTERN SIZE...
// OUTPUT_PATTERN holds "%1", replaced by the size ("icons/%1x%1/quorvel.png").
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv) {
    // No application object: pictures without text need neither a display nor fonts.
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: quorvel-render-icon SOURCE.svg OUTPUT_PATTERN SIZE...\n");
        return 2;
    }
    QSvgRenderer svg(args[1]);
    if (!svg.isValid()) {
        std::fprintf(stderr, "quorvel-render-icon: cannot read %s\n", qPrintable(args[1]));
        return 1;
    }
    for (int i = 3; i < args.size(); ++i) {
        bool ok = false;
        const int size = args[i].toInt(&ok);
        if (!ok || size <= 0) {
            std::fprintf(stderr, "quorvel-render-icon: bad size %s\n", qPrintable(args[i]));
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            svg.render(&painter, QRectF(0, 0, size, size));
        }
        const QString out = QString(args[2]).replace(QStringLiteral("%1"), QString::number(size));
        QDir().mkpath(QFileInfo(out).absolutePath());
        if (!image.convertToFormat(QImage::Format_ARGB32).save(out, "PNG")) {
            std::fprintf(stderr, "quorvel-render-icon: cannot write %s\n", qPrintable(out));
            return 1;
        }
    }
    return 0;
}
