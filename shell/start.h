#pragma once

#include <QString>
#include <exception>
#include <memory>

namespace zp {

struct AppState;
class mdiMain;

// The start routine. Without <ProgramFolder>/zpatch.zpd it shows "Missing Database!" and returns
// nothing: the program ends without a main window. A program folder the user named for this run
// (`namedFolder`: --home or ZENPATCH_HOME) is offered an empty database instead; declined, the
// program ends without a word more. With a database it creates the main window and runs its load
// routine (database, configuration, file types, command-line import or splash, hack list). A
// database that cannot be opened or made is reported with a message that names the error, and
// nothing is returned then either.
std::unique_ptr<mdiMain> Start(AppState& state, const QString& commandLine, bool namedFolder = false);

// "Zenpatch could not open its database <path>:" and the error's own text.
void ShowDatabaseError(AppState& state, const std::exception& error);

} // namespace zp
