#include "app/app_state.h"
#include "app/common.h"
#include "app/mdi_main.h"
#include "app/qt_dialogs.h"
#include "app/start.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Zenpatch");
    QApplication::setApplicationVersion(ZENPATCH_VERSION);
    QApplication::setDesktopFileName("zenpatch");
    QApplication::setWindowIcon(QIcon(":/zenpatch/icons/zenpatch.png"));

    zp::QtDialogs dialogs;
    zp::AppState state(zp::ProgramFolder(QApplication::applicationDirPath()), dialogs);
    // The whole command line is the path of a hack file to import (the desktop passes it as one
    // argument, a terminal user may not have quoted a path with blanks).
    const QString commandLine = QApplication::arguments().mid(1).join(' ');
    std::unique_ptr<zp::mdiMain> window = zp::Start(state, commandLine);
    if (!window)
        return 1;
    dialogs.SetOwner(window.get());
    return app.exec();
}
