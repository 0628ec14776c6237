#include "app/app_state.h"
#include "app/common.h"
#include "shell/mdi_main.h"
#include "shell/mod_associate.h"
#include "shell/single_instance.h"
#include "shell/start.h"
#include "widgets/qt_dialogs.h"

#include <QApplication>
#include <QFile>
#include <QIcon>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(zp::ProgramTitle);
    QApplication::setApplicationVersion(ZENPATCH_VERSION);
    QApplication::setDesktopFileName(zp::DesktopId(zp::kProgramId));
    QApplication::setWindowIcon(QIcon(":/zenpatch/icons/zenpatch.png"));

    // "--home DIR" names the program folder as ZENPATCH_HOME does; the rest is the hack file to import.
    const zp::ProgramArguments arguments = zp::SplitProgramArguments(QApplication::arguments().mid(1));
    if (!arguments.home.isEmpty())
        qputenv("ZENPATCH_HOME", QFile::encodeName(arguments.home));
    zp::QtDialogs dialogs;
    zp::AppState state(zp::ProgramFolder(QApplication::applicationDirPath()), dialogs);
    // One program per program folder: a program already running for it takes the file and this
    // start ends.
    zp::SingleInstance instance(zp::SingleInstance::SocketName(state.ProgramFolder));
    if (instance.HandOver(arguments.commandLine))
        return 0;
    instance.Listen();
    // A folder named for this run (here or in the environment) is offered a new database when it has none.
    const bool namedFolder = !qEnvironmentVariable("ZENPATCH_HOME").isEmpty();
    std::unique_ptr<zp::mdiMain> window = zp::Start(state, arguments.commandLine, namedFolder);
    if (!window)
        return 1;
    dialogs.SetOwner(window.get());
    instance.SetReceiver([&window](const QString& file) { window->OpenHandedFile(file); });
    return app.exec();
}
