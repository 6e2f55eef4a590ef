#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QMap>
#include <QString>

// File names for extracted message parts. A part header names its file with
// whatever text the sender chose; before it touches the disk it becomes a bare,
// portable file name inside the scratch folder.
namespace AttachmentName {

// The name a part header line gives: the value of its name= or filename=
// parameter, quoted or not; a line without such a parameter gives the text
// between its first two double quotes. Empty when the line names nothing.
QByteArray fromHeaderLine(QByteArrayView line);

// Gathers the name of one part from its header lines. Mailers give it as a
// plain parameter, possibly with encoded words inside the quotes, or in the
// extended form with a charset and percent escapes, possibly cut into numbered
// pieces spread over continuation lines. The extended filename wins over the
// extended name, and either over a plain one; of the plain names the last line
// that gives one wins.
class Parameters
{
public:
    void addLine(QByteArrayView line);
    // The decoded name, before it is reduced; empty when the header named nothing.
    QString name() const;
    bool isEmpty() const;
    void clear();

private:
    struct Piece
    {
        QByteArray value;
        bool encoded = false;
    };
    // Piece number -1 is the unnumbered form "name*=".
    using Pieces = QMap<int, Piece>;
    static QString joined(const Pieces& pieces);

    QByteArray m_plain;
    Pieces m_filename;
    Pieces m_name;
};

// Reduces a name to a bare file name: the last component after either
// separator, no control characters, none of the characters Windows refuses,
// no trailing dots or blanks, no device name, at most MaxBytes on disk with
// the extension kept. Empty, "." and ".." become "text.tmp".
QString bare(const QString& name);

// The k-th alternative of a bare name: base + "_" + k + "." + extension
// (base + "_" + k for a name without a dot), still within MaxBytes.
QString alternative(const QString& name, int k);

constexpr qsizetype MaxBytes = 255;

} // namespace AttachmentName
