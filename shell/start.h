#pragma once

#include <QString>
#include <exception>
#include <memory>

namespace zp {

struct AppState;
class mdiMain;

// The start routine. Without <ProgramFolder>/zpatch.zpd it shows "Missing Database!" and returns
// nothing: the program ends without a main window. Otherwise it creates the main window and runs
// its load routine (database, configuration, file types, command-line import or splash, hack
// list). A database that cannot be opened is reported with a message that names the error, and
// nothing is returned then either.
std::unique_ptr<mdiMain> Start(AppState& state, const QString& commandLine);

// "Zenpatch could not open its database <path>:" and the error's own text.
void ShowDatabaseError(AppState& state, const std::exception& error);

} // namespace zp
