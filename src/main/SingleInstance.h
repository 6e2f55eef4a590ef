#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

// Lets only one copy of the program run for the user. A lock left behind by a
// crashed run is stale and does not block the next start.
class SingleInstance
{
public:
    // folder: where the lock lives; empty for the user's runtime folder.
    explicit SingleInstance(const QString& folder = QString());
    ~SingleInstance();

    // True when this is the only running copy; the lock is then held until destruction.
    bool acquire();
    // As acquire(), and tells the user when another copy runs already.
    bool acquireOrTell();
    // Tells the user that another copy runs already.
    static void tell();
    // Gives the lock up before the program ends without unwinding.
    void release();

    static QString lockName() { return QStringLiteral("PF998"); }

private:
    std::unique_ptr<QLockFile> m_lock;
};
