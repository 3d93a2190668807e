#include "PixmendApp.h"
#include "WidgetMessageBoxes.h"

#include <QApplication>

#include <sys/resource.h>

namespace {

// A folder walk holds two folders open a level: the usual soft limit of open
// files (often 1,024) would end it at some 500 levels, far below what the
// system allows this process.
void RaiseOpenFilesLimit()
{
    rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    RaiseOpenFilesLimit();
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
