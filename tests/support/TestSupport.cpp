#include "TestSupport.h"

#include "ProgramFolder.h"
#include "SettingsStore.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

void copyTree(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    QDirIterator it(from, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QString target = to + u'/' + QDir(from).relativeFilePath(it.filePath());
        if (it.fileInfo().isDir())
            QDir().mkpath(target);
        else
            QFile::copy(it.filePath(), target);
    }
}

} // namespace

TestEnvironment::TestEnvironment()
{
    copyTree(QString::fromUtf8(POSTRELLA_PROGRAM_DIR), programFolder());
    ProgramFolder::setOverride(programFolder());
    SettingsStore::setDefaultFile(settingsFile());
    SecretStore::setInstance(&m_secrets);
}

TestEnvironment::~TestEnvironment()
{
    ProgramFolder::setOverride(QString());
    SettingsStore::setDefaultFile(QString());
    SecretStore::setInstance(nullptr);
}

QString TestEnvironment::programFolder() const
{
    return m_dir.filePath(u"program"_s);
}

QString TestEnvironment::settingsFile() const
{
    return m_dir.filePath(u"config/Fernwick/FW-Postrella.conf"_s);
}

QString TestEnvironment::path(const QString& relative) const
{
    return programFolder() + u'/' + relative;
}

ScriptedDialogs::ScriptedDialogs()
{
    Dialogs::setMessageAnswerer([this](const Dialogs::MessageRequest& request) {
        m_messages.append(request);
        if (!m_answers.empty()) {
            const Dialogs::Button answer = m_answers.front();
            m_answers.pop_front();
            return answer;
        }
        for (const Dialogs::Button b : {Dialogs::Ok, Dialogs::Yes, Dialogs::No, Dialogs::Cancel}) {
            if (request.buttons & b)
                return b;
        }
        return Dialogs::Ok;
    });
    Dialogs::setFileAnswerer([this](const Dialogs::FileRequest&) {
        if (m_files.empty())
            return QString();
        QString file = m_files.front();
        m_files.pop_front();
        return file;
    });
}

ScriptedDialogs::~ScriptedDialogs()
{
    Dialogs::setMessageAnswerer({});
    Dialogs::setFileAnswerer({});
}

QStringList ScriptedDialogs::texts() const
{
    QStringList result;
    for (const Dialogs::MessageRequest& request : m_messages)
        result.append(request.text);
    return result;
}

SecretStore::Result MemorySecretStore::read(const QString& account)
{
    ++calls;
    if (!reachable)
        return {Outcome::Unavailable, {}, u"Kein Secret Service"_s};
    if (!entries.contains(account))
        return {Outcome::NotFound, {}, {}};
    return {Outcome::Done, entries.value(account), {}};
}

SecretStore::Result MemorySecretStore::write(const QString& account, const QString& password)
{
    ++calls;
    if (!reachable)
        return {Outcome::Unavailable, {}, u"Kein Secret Service"_s};
    entries.insert(account, password);
    return {Outcome::Done, {}, {}};
}

SecretStore::Result MemorySecretStore::remove(const QString& account)
{
    ++calls;
    if (!reachable)
        return {Outcome::Unavailable, {}, u"Kein Secret Service"_s};
    return {entries.remove(account) > 0 ? Outcome::Done : Outcome::NotFound, {}, {}};
}
