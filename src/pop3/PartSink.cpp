#include "PartSink.h"

#include "Exception.h"
#include "UiLanguage.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

int s_tempCounter = 0;

bool existsOrLink(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

[[noreturn]] void createError(const QString& path, const QString& reason)
{
    throw Exception(byLanguage(u"Die Datei \""_s, u"The file \""_s) + path +
                    byLanguage(u"\" kann nicht erstellt werden: "_s, u"\" cannot be created: "_s) + reason);
}

} // namespace

TFolderSink::TFolderSink(QString folder) : m_folder(std::move(folder)) {}

TFolderSink::~TFolderSink()
{
    removeTemp();
}

int TFolderSink::tempCounter()
{
    return s_tempCounter;
}

QIODevice& TFolderSink::openTemp()
{
    removeTemp();
    if (m_folder.isEmpty())
        throw Exception(byLanguage(u"Kein Ordner für Anhänge angegeben"_s, u"No folder for attachments given"_s));
    for (int tries = 0; tries < 1000; ++tries) {
        const QString path = m_folder + u"Temp"_s + QString::number(++s_tempCounter) + u".mme"_s;
        // An old file of that name is replaced; a link is removed, never followed.
        const QFileInfo info(path);
        if (info.isSymLink() || info.isFile())
            QFile::remove(path);
        m_temp.setFileName(path);
        if (m_temp.open(QIODevice::ReadWrite | QIODevice::NewOnly))
            return m_temp;
        // A folder of that name: take the next number.
        if (!existsOrLink(path))
            createError(path, m_temp.errorString());
    }
    createError(m_folder,
                byLanguage(u"kein freier Name für eine temporäre Datei"_s, u"no free name for a temporary file"_s));
}

void TFolderSink::removeTemp()
{
    if (m_temp.fileName().isEmpty())
        return;
    m_temp.close();
    QFile::remove(m_temp.fileName());
    m_temp.setFileName(QString());
}

QString TFolderSink::tempWhere() const
{
    return m_temp.fileName();
}

bool TFolderSink::taken(const QString& name) const
{
    return existsOrLink(m_folder + name);
}

std::unique_ptr<QIODevice> TFolderSink::create(const QString& name)
{
    const QString path = m_folder + name;
    if (existsOrLink(path))
        return nullptr;
    auto file = std::make_unique<QFile>(path);
    if (file->open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return file;
    if (!existsOrLink(path))
        createError(path, file->errorString());
    return nullptr;
}

std::unique_ptr<QIODevice> TFolderSink::open(const QString& name)
{
    auto file = std::make_unique<QFile>(m_folder + name);
    if (!file->open(QIODevice::ReadOnly))
        return nullptr;
    return file;
}

void TFolderSink::remove(const QString& name)
{
    QFile::remove(m_folder + name);
}

QString TFolderSink::where(const QString& name) const
{
    return m_folder + name;
}

QIODevice& TMemorySink::openTemp()
{
    removeTemp();
    m_temp.setBuffer(&m_tempData);
    // Unbuffered: the decoder reads large blocks, and a buffered device would
    // set up a buffer of its own for every part.
    m_temp.open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    return m_temp;
}

void TMemorySink::removeTemp()
{
    m_temp.close();
    // Keeps the memory for the next part, which saves growing it line by line again.
    m_tempData.truncate(0);
}

QString TMemorySink::tempWhere() const
{
    return u"Temp"_s;
}

bool TMemorySink::taken(const QString& name) const
{
    return m_files.count(name) > 0;
}

std::unique_ptr<QIODevice> TMemorySink::create(const QString& name)
{
    const auto [it, inserted] = m_files.try_emplace(name);
    if (!inserted)
        return nullptr;
    auto buffer = std::make_unique<QBuffer>(&it->second);
    buffer->open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    return buffer;
}

std::unique_ptr<QIODevice> TMemorySink::open(const QString& name)
{
    const auto it = m_files.find(name);
    if (it == m_files.end())
        return nullptr;
    auto buffer = std::make_unique<QBuffer>(&it->second);
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}

void TMemorySink::remove(const QString& name)
{
    m_files.erase(name);
}

QString TMemorySink::where(const QString& name) const
{
    return name;
}
