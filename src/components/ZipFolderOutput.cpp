#include "ZipFolderOutput.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

bool isBelow(const QString& folder, const QString& canonicalBase)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return !canonical.isEmpty() && (canonical == canonicalBase || canonical.startsWith(canonicalBase + u'/'));
}

// Creates the folder only when every part of it resolves inside the target
// folder: a symbolic link placed there earlier must not lead mkpath outside.
bool makeFolderInside(const QString& folder, const QString& canonicalBase)
{
    QString existing = folder;
    while (!QFileInfo::exists(existing)) {
        const QString parent = QFileInfo(existing).path();
        if (parent == existing)
            return false;
        existing = parent;
    }
    return isBelow(existing, canonicalBase) && QDir().mkpath(folder) && isBelow(folder, canonicalBase);
}

} // namespace

TZipFolderOutput::TZipFolderOutput(const QString& base)
    : m_base(base), m_ready(!base.isEmpty() && QFileInfo(base).isDir()),
      m_canonicalBase(m_ready ? QFileInfo(base).canonicalFilePath() : QString())
{}

TZipFolderOutput::~TZipFolderOutput() = default;

bool TZipFolderOutput::present(const QString& relative, qint64& modified) const
{
    const QFileInfo existing(where(relative));
    const bool there = existing.exists() || existing.isSymLink();
    modified = there ? existing.lastModified().toSecsSinceEpoch() : 0;
    return there;
}

bool TZipFolderOutput::makeFolder(const QString& relative)
{
    return makeFolderInside(relative.isEmpty() ? m_base : where(relative), m_canonicalBase);
}

QIODevice* TZipFolderOutput::begin(const QString& relative, QString& error)
{
    m_target = where(relative);
    // Replace a link rather than write through it to wherever it points.
    if (QFileInfo(m_target).isSymLink())
        QFile::remove(m_target);
    m_file = std::make_unique<QSaveFile>(m_target);
    if (m_file->open(QIODevice::WriteOnly))
        return m_file.get();
    error = m_file->errorString();
    m_file.reset();
    return nullptr;
}

bool TZipFolderOutput::commit(qint64 mtime, QString& error)
{
    const bool committed = m_file->commit();
    if (!committed)
        error = m_file->errorString();
    m_file.reset();
    if (committed && mtime > 0) {
        QFile written(m_target);
        if (written.open(QIODevice::ReadWrite))
            written.setFileTime(QDateTime::fromSecsSinceEpoch(mtime), QFileDevice::FileModificationTime);
    }
    return committed;
}

void TZipFolderOutput::cancel()
{
    if (m_file)
        m_file->cancelWriting(); // the unfinished copy is discarded with the object
    m_file.reset();
}
