#pragma once

// The client harness shared by the tests of the POP3 client against the
// scripted server: a probe that records every event, the usual scripts up to
// the mailbox count and the headers of a three-message mailbox.
#include "FakePop3Server.h"
#include "Pop3Client.h"

#include <QStringList>

namespace Pop3Probe {

using namespace Qt::StringLiterals;
using namespace Pop3Script;

// A client pointed at the fake server that writes every event it raises into
// a list, so a test can compare what happened and in which order.
struct Probe
{
    explicit Probe(FakePop3Server& fake, int timeOut = 3000)
    {
        client.Host = u"127.0.0.1"_s;
        client.Port = fake.port();
        client.UserID = u"u"_s;
        client.Password = u"p"_s;
        client.TimeOut = timeOut;
        client.ReportLevel = 1;
        client.OnConnect = [this](QObject*) { events << u"connect"_s; };
        client.OnDisconnect = [this](QObject*) { events << u"disconnect"_s; };
        client.OnConnectionFailed = [this](QObject*) { events << u"connection failed"_s; };
        client.OnRetrieveStart = [this](QObject*) { events << u"start"_s; };
        client.OnRetrieveEnd = [this](QObject*) { events << u"end"_s; };
        client.OnSuccess = [this](QObject*) { events << u"success"_s; };
        client.OnFailure = [this](QObject*) { events << u"failure"_s; };
        client.OnReset = [this](QObject*) { events << u"reset"_s; };
        client.OnStatus = [this](QObject*, const QString& s) { events << u"status "_s + s.trimmed(); };
    }

    // Runs one call and gives the message of the exception it raised, if any.
    template <typename F> QString failure(F&& call)
    {
        try {
            call();
        } catch (const Exception& e) {
            return e.message();
        }
        return {};
    }

    TPop3Client client;
    QStringList events;
};

inline FakeScript loggedOn(int count)
{
    return greeting() + login("u", "p") + stat(count);
}

inline FakeScript pipelining(int count)
{
    return greeting("+OK POP3 server ready", {"PIPELINING"}) + login("u", "p") + stat(count);
}

inline const QList<QByteArray> kHeaders[] = {
    {"From: a@example.org", "Subject: eins"},
    {"From: b@example.org", "Subject: zwei"},
    {"From: c@example.org", "Subject: drei"},
};

// Records the summary of every message as the listing delivers it.
inline void recordSummaries(Probe& p)
{
    p.client.ReportLevel = 0;
    p.client.OnRetrieveEnd = [&p](QObject*) {
        p.events << u"end"_s + QString::fromLatin1(p.client.Summary().Subject) + u' ' +
                        QString::number(p.client.Summary().Bytes);
    };
}

} // namespace Pop3Probe
