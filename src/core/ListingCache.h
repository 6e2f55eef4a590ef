#pragma once

#include "MailMessage.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

struct Account;
struct TSummary;

// What the last listing of an account found, kept between runs so a check
// need not read the header of a message it has seen before: one file per
// account in the user's cache folder, open to that user alone. The file holds
// no password; it names the account so a file of another one is never taken.
class ListingCache
{
public:
    struct Entry
    {
        QByteArray uidl;
        qint64 bytes = 0;
        // The header lines screening and the grid read (sender, subject,
        // message id, each with its continuation lines), without line ends.
        TExStringList header;

        // Keeps of the summary only the lines that rebuild it.
        static Entry fromSummary(const QByteArray& uidl, const TSummary& summary);
        // A summary that screens and shows as the one the entry was made from.
        TSummary summary() const;
    };
    using Entries = QHash<QByteArray, Entry>;

    // Larger files, or more entries, are taken as damaged rather than read.
    static constexpr qint64 MaxFileBytes = 64 * 1024 * 1024;
    static constexpr qsizetype MaxEntries = 2'000'000;

    // The file of the account; empty when the user has no cache folder.
    static QString fileFor(const Account& account);

    // The entries by UIDL; empty when the file is missing, damaged, written in
    // another format or for another account.
    static Entries load(const Account& account);

    // Replaces the file at once (a reader sees the old one or the new one,
    // never half of it). False with the reason in error when it cannot be
    // written; an entry without UIDL is left out, it could never be found.
    static bool save(const Account& account, const QList<Entry>& entries, QString* error = nullptr);
};
