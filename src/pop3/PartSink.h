#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QString>
#include <map>
#include <memory>

// Where the MIME walk puts the parts it extracts: the temporary file that
// collects the raw lines of a part, and the attachment files. The program
// writes into the scratch folder; tests and the fuzzer keep everything in
// memory, which is a hundred times faster and leaves nothing on disk.
class TPartSink
{
public:
    virtual ~TPartSink() = default;

    // A new, empty device for the raw lines of one part, open for reading and
    // writing. Fails with an exception when none can be made.
    virtual QIODevice& openTemp() = 0;
    // Closes and removes the device of openTemp, if there is one.
    virtual void removeTemp() = 0;
    // How the device of openTemp appears in a message to the user.
    virtual QString tempWhere() const = 0;
    // Whether anything exists under the name (a file, a folder, a link).
    virtual bool taken(const QString& name) const = 0;
    // Creates a new attachment under the name, open for writing; nullptr when
    // something appeared under the name meanwhile. Fails with an exception
    // when the name is free but cannot be created.
    virtual std::unique_ptr<QIODevice> create(const QString& name) = 0;
    // A stored attachment, open for reading, or nullptr.
    virtual std::unique_ptr<QIODevice> open(const QString& name) = 0;
    virtual void remove(const QString& name) = 0;
    // How the name appears in a message to the user.
    virtual QString where(const QString& name) const = 0;
};

// The scratch folder. Temporary part files are named Temp<n>.mme, n counting
// for the whole process, so the names stay unique for the run. Only what does
// not exist is ever created, so no link or folder in the scratch folder is
// followed.
class TFolderSink : public TPartSink
{
public:
    // folder: ends in a separator.
    explicit TFolderSink(QString folder);
    ~TFolderSink() override;

    QIODevice& openTemp() override;
    void removeTemp() override;
    QString tempWhere() const override;
    bool taken(const QString& name) const override;
    std::unique_ptr<QIODevice> create(const QString& name) override;
    std::unique_ptr<QIODevice> open(const QString& name) override;
    void remove(const QString& name) override;
    QString where(const QString& name) const override;

    // Number of the last temporary part file.
    static int tempCounter();

private:
    QString m_folder;
    QFile m_temp;
};

// Everything in memory: the attachments by name.
class TMemorySink : public TPartSink
{
public:
    QIODevice& openTemp() override;
    void removeTemp() override;
    QString tempWhere() const override;
    bool taken(const QString& name) const override;
    std::unique_ptr<QIODevice> create(const QString& name) override;
    std::unique_ptr<QIODevice> open(const QString& name) override;
    void remove(const QString& name) override;
    QString where(const QString& name) const override;

    // A std::map, so a stored attachment stays where its writer points.
    const std::map<QString, QByteArray>& files() const { return m_files; }
    bool tempOpen() const { return m_temp.isOpen(); }

private:
    std::map<QString, QByteArray> m_files;
    QByteArray m_tempData;
    QBuffer m_temp;
};
