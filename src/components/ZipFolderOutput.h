#pragma once

#include "ZipArchive.h"

#include <QString>
#include <memory>

class QSaveFile;

// The program's output: files below the target folder, each written aside
// and put in place only when it is complete.
class TZipFolderOutput : public TZipOutput
{
public:
    explicit TZipFolderOutput(const QString& base);
    ~TZipFolderOutput() override;

    bool ready() const override { return m_ready; }
    QString where(const QString& relative) const override { return m_base + u'/' + relative; }
    bool present(const QString& relative, qint64& modified) const override;
    bool makeFolder(const QString& relative) override;
    QIODevice* begin(const QString& relative, QString& error) override;
    bool commit(qint64 mtime, QString& error) override;
    void cancel() override;

private:
    QString m_base;
    bool m_ready;
    QString m_canonicalBase;
    QString m_target;
    std::unique_ptr<QSaveFile> m_file;
};
