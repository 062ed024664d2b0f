// The practice domain: a simulated `gam` that answers Tarnwick's commands from a fake
// school district at documentation domains. It never talks to Google.
#include "Dispatch.h"
#include "Hooks.h"
#include "Output.h"

#include <QCoreApplication>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    const Hooks hooks = Hooks::fromEnvironment(args);
    hooks.beforeRun(args);
    Output out(hooks);
    runGam(args, out, hooks);
    return out.finish();
}
