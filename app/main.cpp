#include "PixmendApp.h"
#include "WidgetMessageBoxes.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication qapp(argc, argv);
    CWidgetMessageBoxes boxes;
    SetMessageBoxes(&boxes);

    int exitCode = 0;
    {
        CPixmendApp app;
        QStringList arguments = QCoreApplication::arguments();
        arguments.removeFirst();
        if (!app.InitInstance(arguments)) {
            exitCode = app.GetExitCode();
        } else {
            exitCode = app.ExitInstance(qapp.exec());
        }
    }
    SetMessageBoxes(nullptr);
    return exitCode;
}
