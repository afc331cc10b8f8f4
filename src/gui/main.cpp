// Program entry of the norvoisp desktop programmer.
#include "gui/app_identity.h"
#include "gui/main_window.h"
#include "gui/single_instance.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    SetApplicationIdentity();

    // A second start brings the running window to the front and ends.
    TSingleInstance instance;
    if (instance.ActivateRunning()) return 0;

    Tmain Main(QApplication::arguments().mid(1));
    QObject::connect(&instance, &TSingleInstance::ActivationRequested, &Main, [&Main] {
        if (Main.isMinimized()) Main.showNormal();
        Main.show();
        Main.raise();
        Main.activateWindow();
    });
    Main.show();
    return QApplication::exec();
}
