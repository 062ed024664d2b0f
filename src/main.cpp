#include "app/AppModel.h"
#include "app/PracticeDomain.h"
#include "app/ui/Icons.h"
#include "app/ui/MainWindow.h"
#include "app/ui/QtDesktopServices.h"
#include "core/Console.h"
#include "profiles/ProfileStore.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QStandardPaths>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

void describeOptions(QCommandLineParser &parser) {
    parser.setApplicationDescription(u"A graphical interface for common GAM7 commands."_s);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({u"practice"_s, u"Open a window on freshly seeded practice districts, with settings of its own; "
                                     "nothing reaches Google."_s});
}

// --help and --version answer before any window system is needed, so they work without a display.
void answerInformationOptions(int argc, char *argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QCommandLineParser parser;
    describeOptions(parser);
    // Qt's own options (-platform, -style…) are unknown here; QApplication takes them later.
    parser.parse(arguments);
    if (parser.isSet(u"help"_s) || parser.isSet(u"help-all"_s) || parser.isSet(u"version"_s)) {
        QCoreApplication app(argc, argv);
        parser.process(app); // prints and exits
    }
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication::setOrganizationName(u"Tarnwick"_s);
    QCoreApplication::setApplicationName(u"Tarnwick"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(TARNWICK_VERSION));
    answerInformationOptions(argc, argv);

    QApplication app(argc, argv);
    QApplication::setDesktopFileName(u"org.tarnwick.Tarnwick"_s);
    QCommandLineParser parser;
    describeOptions(parser);
    parser.process(app);

    std::unique_ptr<PracticeDomain> practice;
    if (parser.isSet(u"practice"_s)) {
        try {
            const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
            practice = PracticeDomain::start(cache + u"/tarnwick"_s);
        } catch (const Error &error) {
            std::fprintf(stderr, "tarnwick: %s\n", qPrintable(error.description()));
            return 1;
        }
    }

    Icons::installThemeFallback();
    QApplication::setWindowIcon(Icons::appIcon());

    ProfileStore profiles;
    if (practice)
        practice->addDistricts(profiles);
    QtDesktopServices desktop;
    AppModel model(&profiles, &desktop);
    model.setPractice(practice != nullptr);
    MainWindow window(&model, &desktop);
    desktop.setWindow(&window);
    QObject::connect(&window, &MainWindow::practiceRequested, &model, [&model] {
        if (!PracticeDomain::launchWindow(QCoreApplication::applicationFilePath()))
            model.console()->showAlert(u"Practice Domain"_s, u"Couldn't start the practice window."_s);
    });
    window.show();
    window.showStartupNotice();
    model.startCheck();
    return app.exec();
}
