#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

// How a reply line, and the answer lines after it, fit the command they are
// read for. A server that answers out of step would otherwise have its next
// reply taken for this one: the summaries shift by one message and a DELE goes
// out for a message nobody screened. Whatever does not fit ends the connection.
namespace Pop3Reply {

enum class Status
{
    Positive, // begins with "+OK"
    Negative, // begins with "-ERR"
    Unknown,  // neither: not a status line at all
};

Status status(QByteArrayView line);

// The line without its CR LF or LF.
QByteArrayView withoutLineEnd(QByteArrayView line);

// Whether a positive reply to the command is followed by a multi-line answer.
bool opensAnswer(QByteArrayView command);

// The command as an error text may show it: the verb and its numbers, never a
// user id, a password or a token.
QByteArray shown(QByteArrayView command);

// Whether a positive reply carries what the command asked for: "LIST n" must be
// answered for message n.
bool fitsCommand(QByteArrayView command, QByteArrayView reply);

// One line of a LIST or UIDL answer: the message number and the rest.
struct ScanLine
{
    int number = 0;
    QByteArray rest;
};

// Reads the lines of a LIST or UIDL answer in turn. A line fits when it holds a
// message number above the one before (and not above the message count, when
// the count is known) and a non-empty rest of at most MaxRest bytes.
class ScanListing
{
public:
    static constexpr qsizetype MaxRest = 512;

    // count < 0: the count of messages is not known.
    explicit ScanListing(int count) : m_count(count) {}
    std::optional<ScanLine> take(QByteArrayView line);

private:
    int m_count;
    int m_last = 0;
};

// The most a capability list may hold before the server counts as hostile.
constexpr int MaxCapabilityLines = 256;
constexpr qsizetype MaxCapabilityBytes = 64 * 1024;
// The most a header of a summary may hold in memory.
constexpr qsizetype MaxHeaderBytes = 4 * 1024 * 1024;

} // namespace Pop3Reply
