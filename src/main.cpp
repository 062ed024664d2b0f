#include "app/AppModel.h"
#include "app/ui/Icons.h"
#include "app/ui/MainWindow.h"
#include "app/ui/QtDesktopServices.h"
#include "profiles/ProfileStore.h"

#include <QApplication>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(u"Tarnwick"_s);
    QApplication::setApplicationName(u"Tarnwick"_s);
    QApplication::setApplicationVersion(QStringLiteral(TARNWICK_VERSION));
    QApplication::setDesktopFileName(u"tarnwick"_s);
    Icons::installThemeFallback();
    QApplication::setWindowIcon(Icons::appIcon());

    ProfileStore profiles;
    QtDesktopServices desktop;
    AppModel model(&profiles, &desktop);
    MainWindow window(&model, &desktop);
    desktop.setWindow(&window);
    window.show();
    window.showStartupNotice();
    model.startCheck();
    return app.exec();
}
