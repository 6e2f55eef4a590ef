#pragma once

#include <QByteArray>
#include <QFlags>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

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
    void ScanArchive();
    void scanFile();
    void extract();
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
    QString m_password;
    QString m_libraryDirectory;
    QList<TZipEntry> m_entries;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TZipArchive::ExtrOptionSet)
