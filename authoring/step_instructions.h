#pragma once

#include "authoring/recording.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace zp {

// One step of written instructions: "#-----[ AFTER, ADD ]-----" and the lines below it, without
// the "#" lines and empty lines around them. The name is in capitals, without commas, single
// spaces ("AFTER ADD", "IN-LINE FIND").
struct InstructionStep
{
    QString name;
    int line = 0; // where its heading is, 1-based
    QStringList body;
};

struct Instructions
{
    HackInfoFields info; // from the "## MOD Title:", "Author:", "Description:", "Version:" lines
    std::vector<InstructionStep> steps;
};

// Splits the text (CR LF breaks) into its header information and its steps.
Instructions ReadInstructions(const QString& text);

// Applies the steps to private copies of the files they open (below the program folder's
// zpk_rec_temp, removed afterwards) and records the copies as Record does; or, when the file is
// this program's own text export, stores the hack it describes (StoreTextExport). The request's
// Name, when given, wins over the instructions' title; without either the file's base name is the
// name. Throws std::runtime_error for a step this reader does not know, naming its line.
RecordResult ImportText(AppState& state, RecordRequest request, const QString& file);

} // namespace zp
