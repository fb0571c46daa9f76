// render-picture SVG OUTPUT [QUALITY]: draws an SVG picture at its own size onto an opaque
// bitmap and writes it as a JPEG (the pictures the client loads are JPEG files). Used by
// the build; exits with 1 and a message when the picture cannot be read or written.

#include <QGuiApplication>
#include <QImage>
#include <QLoggingCategory>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv)
{
    // Text needs the font database, which needs a platform; nothing is shown, and the
    // platform's remarks about the session are no business of the build.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QLoggingCategory::setFilterRules(QStringLiteral("default.warning=false"));
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3 || args.size() > 4) {
        std::fputs("Usage: render-picture SVG OUTPUT.jpg [QUALITY]\n", stderr);
        return 1;
    }
    QSvgRenderer svg(args.at(1));
    if (!svg.isValid()) {
        std::fprintf(stderr, "render-picture: cannot read \"%s\"\n", qPrintable(args.at(1)));
        return 1;
    }
    QImage picture(svg.defaultSize(), QImage::Format_RGB32);
    picture.fill(Qt::black);
    {
        QPainter painter(&picture);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                               QPainter::SmoothPixmapTransform);
        svg.render(&painter);
    }
    const int quality = args.size() == 4 ? args.at(3).toInt() : 92;
    if (!picture.save(args.at(2), "JPEG", quality)) {
        std::fprintf(stderr, "render-picture: cannot write \"%s\"\n", qPrintable(args.at(2)));
        return 1;
    }
    return 0;
}
