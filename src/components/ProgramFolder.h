#pragma once

#include <QString>

// The folder that holds the program and everything shipped beside it
// (language/, init/, help/, temp/ ...), without a trailing separator.
namespace ProgramFolder {

QString path();

// Tests point the program at a temporary copy of its folder; an empty path
// returns to the folder of the executable.
void setOverride(const QString& folder);

// Joins a relative part written with backslashes ("\temp", "\init\Betreff.ini")
// to the program folder with the platform's separators.
QString file(const QString& relativePart);

} // namespace ProgramFolder
