#pragma once

#include "IniFile.h"

#include <QString>

// What the rating file says about one attachment: the four rated columns of
// the examination table.
struct TAttachmentRating
{
    QString Endung;    // the extension with its dot; empty when the name has none
    QString Art;       // what kind of file it is
    int Stufe = 0;     // the rating level, shown as a number and not interpreted
    QString Vorschlag; // what the user should do with it

    bool operator==(const TAttachmentRating&) const = default;
};

// The rating file init/Endung.ini: one section per extension (the extension
// with its leading dot, any case) with the keys "Name", "Stufe" and
// "Empfehlung". One object serves one rating pass and only reads.
class TRatingFile
{
public:
    explicit TRatingFile(const QString& fileName);

    // The rating file beside the program; for the English interface its
    // English twin init/Endung_E.ini, where that is shipped.
    static QString defaultFileName();

    // The extension as the table shows it and the rating file names it: from
    // the last dot on. Dots and blanks at the end of the name do not count,
    // because Windows drops them when it opens the file ("a.exe." runs a.exe).
    static QString Endung(const QString& attachmentName);

    bool isReadable() const { return m_readable; }

    // Never throws. A missing section or key gives its default ("Unbekannt",
    // 0, "Keine Angabe"); a name without extension gets all three. When the
    // file cannot be read at all, a name with an extension gets the failure
    // rating instead, so that a lost rating file never passes for "level 0".
    TAttachmentRating rate(const QString& attachmentName) const;

    // The rating of a row whose lookup failed.
    static TAttachmentRating failed(const QString& endung);

private:
    TIniFile m_ini;
    bool m_readable = false;
};
