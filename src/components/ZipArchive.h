#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QFlags>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <set>

struct zip;
struct zip_file;
struct zip_stat;

// One local file header as the archive scan found it: the 26 bytes after the
// signature, in the zip format's order and widths, and the stored name.
struct TZipEntry
{
    quint16 VersionNeeded = 0;
    quint16 Flags = 0;
    quint16 Method = 0;
    quint16 ModTime = 0;
    quint16 ModDate = 0;
    quint32 Crc32 = 0;
    quint32 CompressedSize = 0;
    quint32 UncompressedSize = 0;
    quint16 FileNameLength = 0;
    quint16 ExtraFieldLength = 0;
    QByteArray FileName;
};

// Where an extraction puts the entries. Paths are relative to the target,
// separated by '/', without "." or "..": the archive has already ruled out
// every entry that would climb out. The program writes below the target
// folder; tests and the fuzzer may keep the entries in memory.
class TZipOutput
{
public:
    virtual ~TZipOutput() = default;
    // Whether there is a target to extract into at all.
    virtual bool ready() const = 0;
    // How the path appears in a message.
    virtual QString where(const QString& relative) const = 0;
    // Whether something is under the path; modified: its time in seconds since 1970.
    virtual bool present(const QString& relative, qint64& modified) const = 0;
    // Creates the folder (empty: the target itself) unless it would lead outside the target.
    virtual bool makeFolder(const QString& relative) = 0;
    // A new file for the entry in a folder made before, open for writing; nullptr
    // with the reason in error. Nothing is replaced before commit.
    virtual QIODevice* begin(const QString& relative, QString& error) = 0;
    // Puts the file of begin in place; mtime 0 leaves the time as it is.
    virtual bool commit(qint64 mtime, QString& error) = 0;
    // Drops the file of begin; what was under the path stays.
    virtual void cancel() = 0;
};

// Everything in memory: the folders made and the files by path.
class TZipMemoryOutput : public TZipOutput
{
public:
    bool ready() const override { return true; }
    QString where(const QString& relative) const override { return relative; }
    bool present(const QString& relative, qint64& modified) const override;
    bool makeFolder(const QString& relative) override;
    QIODevice* begin(const QString& relative, QString& error) override;
    bool commit(qint64 mtime, QString& error) override;
    void cancel() override;

    const std::map<QString, QByteArray>& files() const { return m_files; }
    const std::set<QString>& folders() const { return m_folders; }

private:
    std::map<QString, QByteArray> m_files;
    std::map<QString, qint64> m_times;
    std::set<QString> m_folders;
    QString m_pending;
    QByteArray m_pendingData;
    QBuffer m_buffer;
};

// Reads the entry list of a zip archive itself and extracts the archive.
// Extraction uses the linked-in libzip, so loading the unzip library always
// succeeds and its "not found" messages never appear. Entries that would land
// outside the target folder (absolute names, "..", symbolic links) are skipped.
class TZipArchive : public QObject
{
    Q_OBJECT

public:
    enum ExtrOption
    {
        ExtrDirNames = 0x01,  // keep the stored folder names
        ExtrOverWrite = 0x02, // replace existing files
        ExtrFreshen = 0x04,   // only replace existing files that are older
        ExtrUpdate = 0x08,    // replace older files and add missing ones
        ExtrTest = 0x10,      // check every entry, write nothing
    };
    Q_DECLARE_FLAGS(ExtrOptionSet, ExtrOption)

    // Kinds of OnProgress: a file begins (name and size), data was written, the run ended.
    enum ProgressType
    {
        NewFile = 0,
        ProgressUpdate = 1,
        EndOfBatch = 2
    };

    // Error codes of OnMessage besides libzip's own (ZIP_ER_*, below 100).
    enum MessageCode
    {
        UnsafeEntry = 1001,   // entry would land outside the target folder: skipped
        WriteFailed = 1002,   // the file could not be written
        NoTargetFolder = 1003 // ExtrBaseDir names no existing folder: nothing extracted
    };

    // Results of RunExtraction (ExtractResult), in the customary unzip numbering.
    enum Result
    {
        ResultOk = 0,
        ResultWarning = 1,  // some entries skipped or not written
        ResultDamaged = 2,  // the archive could not be read as a whole
        ResultNoTarget = 3, // ExtrBaseDir names no existing folder
        ResultNotFound = 9, // the archive could not be opened
        ResultNoMatch = 11, // no entry matched FSpecArgs
    };

    static constexpr int MaxFileSpecs = 4098;
    static constexpr int MaxFileSpecLength = 255;
    static constexpr int MaxPasswordLength = 80;

    explicit TZipArchive(QObject* owner = nullptr);
    ~TZipArchive() override;

    bool Verbose() const { return m_verbose; }
    void setVerbose(bool on) { m_verbose = on; }
    bool Trace() const { return m_trace; }
    void setTrace(bool on) { m_trace = on; }
    const QString& ExtrBaseDir() const { return m_extrBaseDir; }
    void setExtrBaseDir(const QString& folder) { m_extrBaseDir = folder; }
    ExtrOptionSet ExtrOptions() const { return m_extrOptions; }
    void setExtrOptions(ExtrOptionSet options) { m_extrOptions = options; }
    // Masks with '*' and '?', compared without case against the stored name;
    // empty means every entry. Cleared after each extraction.
    QStringList& FSpecArgs() { return m_fSpecArgs; }
    const QString& Password() const { return m_password; }
    void setPassword(const QString& password) { m_password = password.left(MaxPasswordLength); }
    const QString& LibraryDirectory() const { return m_libraryDirectory; }
    void setLibraryDirectory(const QString& folder);

    const QString& ZipFilename() const { return m_zipFilename; }
    // Stores the name and scans the archive. Throws Exception with "Error reading
    // Zip File" or "Error 2".."Error 5 reading Zip file" for a damaged archive.
    void setZipFilename(const QString& fileName);
    // The same for an archive that lies in memory. The bytes are shared, not
    // copied: a buffer of QByteArray::fromRawData must outlive the extractions.
    void setZipData(const QByteArray& bytes);
    // Where RunExtraction puts the entries; nullptr (the default) means below
    // ExtrBaseDir on disk. The output must outlive the extraction.
    void setOutput(TZipOutput* output) { m_output = output; }

    // The entries found by the last scan.
    const QList<TZipEntry>& Entries() const { return m_entries; }
    int Count() const { return int(m_entries.size()); }
    bool Busy() const { return m_busy; }
    int ExtractResult() const { return m_result; }

    // Opens libzip if it is not open yet (it stays open for the run, so
    // unloading does nothing). False when the library cannot be found; reading
    // an archive then fails with an Exception that says so.
    bool LoadUnzipLibrary();
    void UnloadUnzipLibrary() {}
    void RunExtraction();

    std::function<void(QObject* sender)> OnDirUpdate;
    std::function<void(QObject* sender, ProgressType kind, const QString& fileName, qint64 fileSize)> OnProgress;
    std::function<void(QObject* sender, int errorCode, const QString& message)> OnMessage;

private:
    // One extraction's options, progress and read buffer.
    struct ExtractRun;

    void ScanArchive();
    void extract(TZipOutput& output);
    // The archive opened for reading, with the password set; nullptr after
    // reporting why it cannot be opened.
    zip* openArchive();
    // Skips, makes or writes one entry, as its name and the options say.
    void extractEntry(ExtractRun& run, quint64 index);
    // Whether the options let the entry add or replace the file under relative.
    static bool isToBeWritten(const ExtractRun& run, const QString& relative, qint64 entryTime);
    // Reads the entry through and, unless testing, puts it in place.
    void writeEntry(ExtractRun& run, quint64 index, const QString& name, const QString& relative,
                    const struct zip_stat& stat);
    // The new file for the entry in its folder; nullptr after reporting why not.
    QIODevice* beginFile(ExtractRun& run, const QString& name, const QString& relative, const QString& target);
    // Reads all of the entry, writing it to out if there is one; false after
    // reporting a failed read or write.
    bool copyData(ExtractRun& run, zip_file* entry, QIODevice* out, const QString& name, const QString& target,
                  const struct zip_stat& stat);
    void skipUnsafe(ExtractRun& run, const QString& name);
    QString archiveName() const;
    void report(int code, const QString& text);
    void progress(ProgressType kind, const QString& fileName, qint64 fileSize);

    bool m_verbose = false;
    bool m_trace = false;
    bool m_busy = false;
    int m_result = 0;
    QString m_extrBaseDir;
    ExtrOptionSet m_extrOptions;
    QStringList m_fSpecArgs;
    QString m_zipFilename;
    QByteArray m_zipData;
    bool m_fromMemory = false;
    TZipOutput* m_output = nullptr;
    QString m_password;
    QString m_libraryDirectory;
    QList<TZipEntry> m_entries;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TZipArchive::ExtrOptionSet)
