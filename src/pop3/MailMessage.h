#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

// A list of lines that the mail records own.
using TExStringList = QList<QByteArray>;

// One retrieved message, refilled by every RetrieveMessage. Header texts stay
// as they came over the wire; only the attachment names are file names.
struct TMailMessage
{
    TExStringList Head;      // header lines without line ends, then the empty line that ended it
    TExStringList Body;      // the body text, then one note line per extracted file
    QStringList Attachments; // names (without folder) of the extracted files, in extraction order
    QByteArray ContentType;  // last Content-Type value read, message or part
    QByteArray From;         // after "From: "
    QByteArray Subject;      // after "Subject:", the blank after the colon kept
    QByteArray MessageId;    // after "Message-ID: "
    QByteArray Boundary;     // multipart boundary of the message

    // Everything but Boundary, which a retrieval clears before it asks the server.
    void clear();
};
