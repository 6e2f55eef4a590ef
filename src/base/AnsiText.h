#pragma once

#include <QByteArray>
#include <QString>

// Texts of the program's data files and of the wire are Windows-1252 bytes.
// They stay bytes until they are shown or used as a file name; these two
// helpers are the only place where they cross into QString and back.
namespace AnsiText {

QString fromAnsi(const QByteArray& bytes);

// Characters that Windows-1252 cannot hold become '?'.
QByteArray toAnsi(const QString& text);

} // namespace AnsiText
