#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tarnwick"));
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Tarnwick"));
    window.resize(1100, 760);
    window.show();
    return app.exec();
}
