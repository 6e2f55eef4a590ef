#include "SecretStore.h"

#include "UiLanguage.h"

#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

using namespace Qt::StringLiterals;

const QString KeychainSecretStore::Service = u"Postrella"_s;

namespace {

SecretStore*& overrideStore()
{
    static SecretStore* store = nullptr;
    return store;
}

// Runs the job and waits for it without spinning: the loop sleeps in the
// event dispatcher until the job finishes, the time-out passes or the
// program is ending.
SecretStore::Result run(QKeychain::Job* job, int timeoutMs, QString* password = nullptr)
{
    job->setAutoDelete(false);
    bool finished = false;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    job->start();
    bool ending = false;
    while (!finished && timer.isActive() && !ending)
        ending = loop.exec() < 0;

    if (!finished) {
        // The store may still answer later; the job then cleans up after
        // itself instead of calling back into a job already freed.
        job->setAutoDelete(true);
        return {SecretStore::Outcome::Unavailable,
                {},
                ending ? byLanguage(u"Das Programm wird beendet."_s, u"The program is ending."_s)
                       : byLanguage(u"Der Schlüsselbund antwortet nicht."_s, u"The keyring does not answer."_s)};
    }
    SecretStore::Result result;
    switch (job->error()) {
    case QKeychain::NoError:
        result.outcome = SecretStore::Outcome::Done;
        if (password)
            *password = static_cast<QKeychain::ReadPasswordJob*>(job)->textData();
        break;
    case QKeychain::EntryNotFound:
        result.outcome = SecretStore::Outcome::NotFound;
        break;
    default:
        result.outcome = SecretStore::Outcome::Unavailable;
        result.reason = job->errorString();
        break;
    }
    delete job;
    return result;
}

SecretStore::Result outcomeOf(QKeychain::Job* job)
{
    switch (job->error()) {
    case QKeychain::NoError:
        return {SecretStore::Outcome::Done, {}, {}};
    case QKeychain::EntryNotFound:
        return {SecretStore::Outcome::NotFound, {}, {}};
    default:
        return {SecretStore::Outcome::Unavailable, {}, job->errorString()};
    }
}

// Starts the job and hands its outcome on when it finishes; the job frees itself.
void runLater(QKeychain::Job* job, QObject* context, SecretStore::Done done)
{
    job->setAutoDelete(true);
    QObject::connect(job, &QKeychain::Job::finished, context, [done = std::move(done)](QKeychain::Job* finished) {
        SecretStore::Result result = outcomeOf(finished);
        if (result.outcome == SecretStore::Outcome::Done)
            if (auto* reading = qobject_cast<QKeychain::ReadPasswordJob*>(finished))
                result.password = reading->textData();
        if (done)
            done(result);
    });
    job->start();
}

} // namespace

void SecretStore::readLater(const QString& account, QObject* context, Done done)
{
    QTimer::singleShot(0, context, [this, account, done = std::move(done)] {
        const Result result = read(account);
        if (done)
            done(result);
    });
}

void SecretStore::writeLater(const QString& account, const QString& password, QObject* context, Done done)
{
    QTimer::singleShot(0, context, [this, account, password, done = std::move(done)] {
        const Result result = write(account, password);
        if (done)
            done(result);
    });
}

void SecretStore::removeLater(const QString& account, QObject* context, Done done)
{
    QTimer::singleShot(0, context, [this, account, done = std::move(done)] {
        const Result result = remove(account);
        if (done)
            done(result);
    });
}

void KeychainSecretStore::readLater(const QString& account, QObject* context, Done done)
{
    auto* job = new QKeychain::ReadPasswordJob(Service);
    job->setKey(account);
    runLater(job, context, std::move(done));
}

void KeychainSecretStore::writeLater(const QString& account, const QString& password, QObject* context, Done done)
{
    auto* job = new QKeychain::WritePasswordJob(Service);
    job->setKey(account);
    job->setTextData(password);
    runLater(job, context, std::move(done));
}

void KeychainSecretStore::removeLater(const QString& account, QObject* context, Done done)
{
    auto* job = new QKeychain::DeletePasswordJob(Service);
    job->setKey(account);
    runLater(job, context, std::move(done));
}

SecretStore& SecretStore::instance()
{
    static KeychainSecretStore desktop;
    return overrideStore() ? *overrideStore() : desktop;
}

void SecretStore::setInstance(SecretStore* store)
{
    overrideStore() = store;
}

SecretStore::Result KeychainSecretStore::read(const QString& account)
{
    auto* job = new QKeychain::ReadPasswordJob(Service);
    job->setKey(account);
    QString password;
    Result result = run(job, m_timeoutMs, &password);
    result.password = password;
    return result;
}

SecretStore::Result KeychainSecretStore::write(const QString& account, const QString& password)
{
    auto* job = new QKeychain::WritePasswordJob(Service);
    job->setKey(account);
    job->setTextData(password);
    return run(job, m_timeoutMs);
}

SecretStore::Result KeychainSecretStore::remove(const QString& account)
{
    auto* job = new QKeychain::DeletePasswordJob(Service);
    job->setKey(account);
    return run(job, m_timeoutMs);
}
