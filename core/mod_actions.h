#pragma once

#include <QString>
#include <QVariant>

namespace zp {

// Action codes of a mod (HackData.ActionType).
enum ActionCode : int { AddBefore = 0, AddAfter = 1, Insert = 2, Append = 3, Replace = 4, Delete = 5 };

// Whether the code is one of the six actions (0 to 5).
bool IsActionCode(int actionType);
// The action code a stored value holds: the value when it is an integer 0 to 5, otherwise -1 (an
// unknown action), so that text, Null, blobs and numbers past 32 bits never pass for "Add Before".
int ActionCodeOf(const QVariant& value);
// "Add Before", "Add After", "Insert", "Append", "Replace", "Delete"; empty text for any other code.
QString ActionName(int actionType);

} // namespace zp
