#pragma once

#include <QString>

// libzip is opened when the first archive is read, not when the program
// starts: it brings the crypto library with it, and loading and relocating
// both was a noticeable part of every start, though most runs never unpack
// anything. The libzip functions the program calls are defined in
// ZipLibrary.cpp with the header's own declarations, hidden from other
// modules, and forward to the library once it is open.
namespace ZipLibrary {

// Opens the library if it is not open yet. False when it cannot be found;
// error() then says why. A libzip function called without it throws Exception.
bool load();
QString error();

} // namespace ZipLibrary
