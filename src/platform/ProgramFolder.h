#pragma once

#include <QString>

// Where the program finds what it ships and where it keeps what it writes.
//
// A program folder that the user can write to (the build folder, a copied
// portable folder) holds everything: the shipped files (language/, init/,
// help/source/ ...) and what the program writes (temp/, the unpacked help/,
// the user's lists in init/). Installed where programs live, the shipped files
// sit in ../share/postrella beside the executable's folder and are read only;
// what the program writes then goes to the user's own folders, so that every
// user of the machine has lists, attachments and help of their own.
namespace ProgramFolder {

// The folder of the executable, without a trailing separator.
QString path();

// Tests point the program at a temporary copy of its folder; an empty path
// returns to the folder of the executable.
void setOverride(const QString& folder);

// The folder that holds the shipped, read-only files: the program folder when
// they lie beside the executable, else ../share/postrella relative to it.
QString dataPath();

// Joins a relative part written with backslashes ("\language", "\init\Betreff.ini")
// to the folder of the shipped files with the platform's separators.
QString file(const QString& relativePart);

// True when what the program writes stays beside the program; false when it
// goes to the user's folders. Decided once per program folder.
bool isPortable();

// True when a file can be created in folder, judged by trying it: permission
// bits alone do not tell, for instance for an administrator or on a read-only
// file system.
bool canCreateFiles(const QString& folder);

// The scratch folder for attachments.
QString scratchFolder();

// The folder the help archives are unpacked into, with the unpack record.
QString unpackedHelpFolder();

// The user's own list (fileName "Betreff_User.ini" or "Absender_User.ini").
// In the user's folders a missing list is first copied from the shipped one;
// a list that exists is never replaced.
QString userList(const QString& fileName);

} // namespace ProgramFolder
