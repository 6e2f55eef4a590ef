#pragma once

#include <QString>
#include <functional>

class QObject;

// The desktop's store of secrets (the Secret Service of GNOME Keyring or
// KWallet, the Windows Credential Manager), holding one password per account.
// Every call waits for the store in a nested event loop, so the windows stay
// responsive while the desktop asks the user to unlock the keyring.
class SecretStore
{
public:
    enum class Outcome
    {
        Done,
        NotFound,    // the store holds no password under that name
        Unavailable, // no store reachable, access refused, or no answer in time
    };
    struct Result
    {
        Outcome outcome = Outcome::Unavailable;
        QString password; // what a read found
        QString reason;   // why the store was unavailable, in its own words
    };

    virtual ~SecretStore() = default;

    virtual Result read(const QString& account) = 0;
    virtual Result write(const QString& account, const QString& password) = 0;
    virtual Result remove(const QString& account) = 0;

    // The same without a nested wait, for work that runs from the event loop
    // (a check): done is called from the event loop once the store answered,
    // unless context has been destroyed by then.
    using Done = std::function<void(const Result& result)>;
    virtual void readLater(const QString& account, QObject* context, Done done);
    virtual void writeLater(const QString& account, const QString& password, QObject* context, Done done);
    virtual void removeLater(const QString& account, QObject* context, Done done);

    // The store the program uses: the desktop's, unless another was set.
    static SecretStore& instance();
    // Replaces the store for the whole program (tests); nullptr returns to the desktop's.
    static void setInstance(SecretStore* store);
};

// The desktop's store through QtKeychain. Entries belong to the service
// "Postrella" and are named by the account.
class KeychainSecretStore : public SecretStore
{
public:
    static const QString Service;

    // Long enough for the user to answer the desktop's unlock prompt.
    explicit KeychainSecretStore(int timeoutMs = 120000) : m_timeoutMs(timeoutMs) {}

    Result read(const QString& account) override;
    Result write(const QString& account, const QString& password) override;
    Result remove(const QString& account) override;
    void readLater(const QString& account, QObject* context, Done done) override;
    void writeLater(const QString& account, const QString& password, QObject* context, Done done) override;
    void removeLater(const QString& account, QObject* context, Done done) override;

private:
    int m_timeoutMs;
};
