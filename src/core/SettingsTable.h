#pragma once

#include "Variabel.h"

#include <QString>
#include <variant>
#include <vector>

// Every value the program keeps in the settings store, in the order the
// store lists them. Loading and saving walk this table.
namespace SettingsTable {

enum class Kind
{
    Boolean,
    Integer,
    Text
};

enum class Write
{
    Always,
    // Read from the files of earlier versions, never written: passwords live
    // in the desktop's secret store. Removed when passwords are not to be kept.
    Never,
};

using Field = std::variant<bool Variabel::*, qint32 Variabel::*, QString Variabel::*,
                           Variabel::Slots<qint32> Variabel::*, Variabel::Slots<QString> Variabel::*>;

struct Entry
{
    QString section;
    QString name; // for slot values the prefix; the slot number follows
    Kind kind;
    QString defaultValue;
    Field field;
    bool readAtStart = true;
    Write write = Write::Always;

    bool perSlot() const
    {
        return std::holds_alternative<Variabel::Slots<qint32> Variabel::*>(field) ||
               std::holds_alternative<Variabel::Slots<QString> Variabel::*>(field);
    }
};

const std::vector<Entry>& entries();

// Text to value with the store's rules: integers in decimal, a Boolean is
// true when its number is not 0; anything else gives the default.
bool toBoolean(const QString& text, bool defaultValue);
qint32 toInteger(const QString& text, qint32 defaultValue);
QString fromBoolean(bool value);

} // namespace SettingsTable
