// Renders the application's SVG icon as the PNG sizes of the hicolor icon theme:
//   render-icons SOURCE.svg OUTPUT_DIR NAME SIZE...
// writes OUTPUT_DIR/<SIZE>x<SIZE>/apps/NAME.png for each size.
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <cstdio>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 5) {
        std::fputs("usage: render-icons SOURCE.svg OUTPUT_DIR NAME SIZE...\n", stderr);
        return 2;
    }
    const QString &source = arguments[1];
    const QDir output(arguments[2]);
    const QString &name = arguments[3];
    for (const QString &sizeText : arguments.mid(4)) {
        const int size = sizeText.toInt();
        QImageReader reader(source);
        reader.setScaledSize(QSize(size, size));
        const QImage image = reader.read();
        const QString folder = sizeText + QLatin1Char('x') + sizeText + QStringLiteral("/apps");
        const QString target = output.filePath(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
        if (image.isNull() || !output.mkpath(folder) || !image.save(target)) {
            std::fprintf(stderr, "render-icons: cannot render %s at %d pixels: %s\n", qPrintable(source), size,
                         qPrintable(reader.errorString()));
            return 1;
        }
    }
    return 0;
}
