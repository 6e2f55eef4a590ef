#include "ZipArchive.h"

#include "AnsiText.h"
#include "Dialogs.h"
#include "Exception.h"
#include "ZipFolderOutput.h"
#include "ZipLibrary.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <algorithm>
#include <memory>
#include <optional>
#include <zip.h>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcZip, "postrella.zip", QtWarningMsg)

namespace {

constexpr quint32 LocalHeaderSignature = 0x04034B50;
constexpr quint32 CentralHeaderSignature = 0x02014B50;
constexpr quint32 EndOfCentralSignature = 0x06054B50;
constexpr qint64 ExeStubSkip = 14000;         // self-extracting archives: the program part comes first
constexpr qint64 MaxSearchCandidates = 60000; // bytes tried as the first byte of the first header
constexpr qint64 EndRecordSize = 22;          // the smallest end-of-central-directory record
constexpr int LocalHeaderSize = 26;           // header bytes after the signature
constexpr qint64 ReadChunk = 64 * 1024;       // bytes of an entry read at a time

quint16 le16(const QByteArray& bytes, int at)
{
    return quint16(quint8(bytes[at]) | quint8(bytes[at + 1]) << 8);
}

quint32 le32(const QByteArray& bytes, int at)
{
    return quint32(le16(bytes, at)) | quint32(le16(bytes, at + 2)) << 16;
}

// No more than the file holds: read() sets aside all it is asked for.
QByteArray readAt(QFile& file, qint64 size, qint64 pos, qint64 count)
{
    count = std::min(count, size - pos);
    if (count <= 0 || !file.seek(pos))
        return {};
    return file.read(count);
}

void showMessage(const QString& text)
{
    Dialogs::message(Dialogs::Kind::Plain, text, Dialogs::Ok);
}

// '*' and '?' wildcards, compared without case; '*' also spans folder separators.
bool matchesMask(const QString& name, const QString& mask)
{
    const QString n = name.toCaseFolded();
    const QString m = mask.toCaseFolded();
    qsizetype i = 0, j = 0, star = -1, resume = 0;
    while (i < n.size()) {
        if (j < m.size() && (m[j] == u'?' || m[j] == n[i])) {
            ++i;
            ++j;
        } else if (j < m.size() && m[j] == u'*') {
            star = j++;
            resume = i;
        } else if (star >= 0) {
            j = star + 1;
            i = ++resume;
        } else {
            return false;
        }
    }
    while (j < m.size() && m[j] == u'*')
        ++j;
    return j == m.size();
}

// The entry's name as a path below the target folder, or nothing when the
// name is absolute, starts with a drive letter or climbs out with "..". Both
// separators count, because archives made on Windows may use backslashes.
std::optional<QString> relativePathOf(QString name)
{
    name.replace(u'\\', u'/');
    if (name.startsWith(u'/'))
        return std::nullopt;
    QStringList parts;
    for (const QString& part : name.split(u'/', Qt::SkipEmptyParts)) {
        if (part == u".."_s)
            return std::nullopt;
        if (part != u"."_s)
            parts.append(part);
    }
    const QString relative = parts.join(u'/');
    // Looked for after the "." parts are gone, so "./C:/x" is refused like "C:/x".
    if (relative.size() >= 2 && relative[1] == u':' && relative[0].isLetter())
        return std::nullopt;
    return relative;
}

bool isSymbolicLink(zip_t* archive, zip_uint64_t index)
{
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) != 0)
        return false;
    constexpr zip_uint32_t typeMask = 0170000;
    constexpr zip_uint32_t symlinkType = 0120000;
    return system == ZIP_OPSYS_UNIX && ((attributes >> 16) & typeMask) == symlinkType;
}

QString libzipText(zip_error_t* error)
{
    return QString::fromUtf8(zip_error_strerror(error));
}

struct ZipCloser
{
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct ZipFileCloser
{
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

// Search mode: the first local header may follow a stub or other junk. Moves
// pos past the signature found; false when none lies within the bytes tried.
template <typename Read> bool findLocalHeader(const Read& readAt, qint64& pos, qint64& examined)
{
    const qint64 budget = MaxSearchCandidates - examined;
    const QByteArray window = readAt(pos, budget + 3);
    const qsizetype found = budget > 0 ? window.indexOf(QByteArrayView("PK\3\4", 4)) : -1;
    if (found < 0)
        return false;
    examined += found + 1;
    pos += found + 4;
    return true;
}

// The signature at pos; pos moves past it.
template <typename Read> quint32 readSignature(const Read& readAt, qint64& pos)
{
    const QByteArray next = readAt(pos, 4);
    if (next.size() < 4)
        throw Exception(u"Error reading Zip File"_s);
    pos += 4;
    return le32(next, 0);
}

TZipEntry entryFromHeader(const QByteArray& header, const QByteArray& name)
{
    TZipEntry entry;
    entry.VersionNeeded = le16(header, 0);
    entry.Flags = le16(header, 2);
    entry.Method = le16(header, 4);
    entry.ModTime = le16(header, 6);
    entry.ModDate = le16(header, 8);
    entry.Crc32 = le32(header, 10);
    entry.CompressedSize = le32(header, 14);
    entry.UncompressedSize = le32(header, 18);
    entry.FileNameLength = le16(header, 22);
    entry.ExtraFieldLength = le16(header, 24);
    entry.FileName = name;
    entry.FileName.detach(); // a view into an archive in memory becomes a copy of its own
    return entry;
}

// The local header at pos, just after its signature; pos moves past the
// entry's data. A first header that is cut short or claims more data than the
// archive holds is taken for junk: false, and the search goes on behind it.
template <typename Read> bool readEntry(const Read& readAt, qint64 size, qint64& pos, QList<TZipEntry>& entries)
{
    const QByteArray header = readAt(pos, LocalHeaderSize);
    pos += header.size();
    bool complete = header.size() == LocalHeaderSize;
    QByteArray name;
    if (complete) {
        const int nameLength = le16(header, 22);
        name = readAt(pos, nameLength);
        pos += name.size();
        complete = name.size() == nameLength;
    }
    if (!complete) {
        if (!entries.isEmpty())
            throw Exception(u"Error 2 reading Zip file"_s);
        return false;
    }

    const TZipEntry entry = entryFromHeader(header, name);
    if (pos + entry.ExtraFieldLength + entry.CompressedSize > size - EndRecordSize) {
        if (!entries.isEmpty())
            throw Exception(u"Error 3 reading Zip file"_s);
        return false;
    }
    if (pos + entry.ExtraFieldLength > size)
        throw Exception(u"Error 4 reading Zip file"_s);
    pos += entry.ExtraFieldLength;
    if (pos + entry.CompressedSize > size)
        throw Exception(u"Error 5 reading Zip file"_s);
    pos += entry.CompressedSize;
    entries.append(entry);
    return true;
}

// Reads the local headers one after the other. readAt(pos, count) gives the
// bytes there, fewer at the end of the archive.
template <typename Read> void scanEntries(const Read& readAt, qint64 size, bool exe, QList<TZipEntry>& entries)
{
    qint64 pos = exe ? ExeStubSkip : 0;
    qint64 examined = 0;

    for (;;) {
        if (!findLocalHeader(readAt, pos, examined)) {
            showMessage(u"No valid zip entries found"_s);
            return;
        }
        // Entry mode: walk the local headers one after the other.
        for (quint32 signature = LocalHeaderSignature;; signature = readSignature(readAt, pos)) {
            if (signature == CentralHeaderSignature || signature == EndOfCentralSignature)
                return;
            if (signature == LocalHeaderSignature && !readEntry(readAt, size, pos, entries))
                break;
        }
    }
}

} // namespace

bool TZipMemoryOutput::present(const QString& relative, qint64& modified) const
{
    const auto time = m_times.find(relative);
    modified = time == m_times.end() ? 0 : time->second;
    return m_files.count(relative) > 0 || m_folders.count(relative) > 0;
}

bool TZipMemoryOutput::makeFolder(const QString& relative)
{
    // Like a folder on disk, with every folder above it.
    for (qsizetype slash = relative.indexOf(u'/'); slash >= 0; slash = relative.indexOf(u'/', slash + 1))
        m_folders.insert(relative.first(slash));
    if (!relative.isEmpty())
        m_folders.insert(relative);
    return true;
}

QIODevice* TZipMemoryOutput::begin(const QString& relative, QString&)
{
    cancel();
    m_pending = relative;
    m_buffer.setBuffer(&m_pendingData);
    m_buffer.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
    return &m_buffer;
}

bool TZipMemoryOutput::commit(qint64 mtime, QString&)
{
    m_buffer.close();
    m_files[m_pending] = m_pendingData;
    m_times[m_pending] = mtime;
    m_pendingData.clear();
    m_pending.clear();
    return true;
}

void TZipMemoryOutput::cancel()
{
    m_buffer.close();
    m_pendingData.clear();
    m_pending.clear();
}

TZipArchive::TZipArchive(QObject* owner) : QObject(owner) {}

TZipArchive::~TZipArchive() = default;

void TZipArchive::setLibraryDirectory(const QString& folder)
{
    QString value = folder;
    if (value.endsWith(u'\\') || value.endsWith(u'/'))
        value.chop(1);
    m_libraryDirectory = value;
}

bool TZipArchive::LoadUnzipLibrary()
{
    return ZipLibrary::load();
}

void TZipArchive::setZipFilename(const QString& fileName)
{
    m_zipFilename = fileName;
    m_zipData.clear();
    m_fromMemory = false;
    ScanArchive();
}

void TZipArchive::setZipData(const QByteArray& bytes)
{
    m_zipFilename.clear();
    m_zipData = bytes;
    m_fromMemory = true;
    ScanArchive();
}

QString TZipArchive::archiveName() const
{
    return m_fromMemory ? u"(in memory)"_s : m_zipFilename;
}

void TZipArchive::ScanArchive()
{
    m_entries.clear();
    if (m_fromMemory || QFileInfo(m_zipFilename).isFile()) {
        try {
            if (m_fromMemory) {
                // Pieces of an archive in memory are views into it, not copies.
                const QByteArray& bytes = m_zipData;
                const auto view = [&bytes](qint64 pos, qint64 count) {
                    count = std::min(count, bytes.size() - pos);
                    return count > 0 ? QByteArray::fromRawData(bytes.constData() + pos, count) : QByteArray();
                };
                scanEntries(view, bytes.size(), false, m_entries);
            } else {
                QFile file(m_zipFilename);
                // When it cannot be opened, nothing is read and nothing found.
                const qint64 size = file.open(QIODevice::ReadOnly) ? file.size() : 0;
                const auto read = [&file, size](qint64 pos, qint64 count) { return readAt(file, size, pos, count); };
                scanEntries(read, size, QFileInfo(m_zipFilename).suffix().toUpper() == u"EXE"_s, m_entries);
            }
        } catch (...) {
            if (OnDirUpdate)
                OnDirUpdate(this);
            throw;
        }
    }
    if (OnDirUpdate)
        OnDirUpdate(this);
}

void TZipArchive::RunExtraction()
{
    m_result = ResultOk;
    if (!m_fromMemory && !QFileInfo(m_zipFilename).isFile()) {
        showMessage(u"Error - no zip file specified"_s);
        return;
    }
    if (m_busy)
        return;
    m_busy = true;
    try {
        TZipFolderOutput folder(m_extrBaseDir);
        extract(m_output ? *m_output : folder);
    } catch (...) {
        showMessage(u"Fatal unzip library error: abort exception"_s);
    }
    m_fSpecArgs.clear();
    m_busy = false;
}

void TZipArchive::report(int code, const QString& text)
{
    qCInfo(lcZip) << code << text;
    if (OnMessage)
        OnMessage(this, code, text);
}

void TZipArchive::progress(ProgressType kind, const QString& fileName, qint64 fileSize)
{
    if (OnProgress)
        OnProgress(this, kind, fileName, fileSize);
}

// One extraction: where it writes, what it was asked for and how it went.
struct TZipArchive::ExtractRun
{
    ExtractRun(TZipOutput& target, zip_t* opened) : output(target), archive(opened) {}

    TZipOutput& output;
    zip_t* archive;
    QStringList masks;
    bool test = false;
    bool update = false;
    bool freshen = false;
    bool dirNames = false;
    bool overwrite = false;
    bool verbose = false;
    bool warning = false;
    bool matched = false;
    // One buffer for all entries, no larger than they need: help pages are small.
    QByteArray buffer;
};

void TZipArchive::extract(TZipOutput& output)
{
    // Without a target folder the entries would land in whatever folder the
    // process happens to be in; extract nothing instead.
    if (!output.ready()) {
        report(NoTargetFolder, u"No folder to extract to: "_s + m_extrBaseDir);
        m_result = ResultNoTarget;
        return;
    }
    const std::unique_ptr<zip_t, ZipCloser> archive(openArchive());
    if (!archive)
        return;

    ExtractRun run(output, archive.get());
    run.masks = m_fSpecArgs.mid(0, MaxFileSpecs);
    for (QString& mask : run.masks)
        mask.truncate(MaxFileSpecLength);
    run.test = m_extrOptions.testFlag(ExtrTest);
    run.update = m_extrOptions.testFlag(ExtrUpdate);
    run.freshen = m_extrOptions.testFlag(ExtrFreshen) && !run.update;
    run.dirNames = m_extrOptions.testFlag(ExtrDirNames);
    run.overwrite = m_extrOptions.testFlag(ExtrOverWrite);
    run.verbose = m_verbose || m_trace;
    run.matched = run.masks.isEmpty();

    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i)
        extractEntry(run, zip_uint64_t(i));
    progress(EndOfBatch, u" "_s, 0);
    m_result = !run.matched ? ResultNoMatch : run.warning ? ResultWarning : ResultOk;
}

zip_t* TZipArchive::openArchive()
{
    int openError = 0;
    std::unique_ptr<zip_t, ZipCloser> archive;
    if (m_fromMemory) {
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source =
            zip_source_buffer_create(m_zipData.constData(), zip_uint64_t(m_zipData.size()), 0, &error);
        if (source)
            archive.reset(zip_open_from_source(source, ZIP_RDONLY, &error));
        if (source && !archive)
            zip_source_free(source); // an archive that opened owns its source
        openError = zip_error_code_zip(&error);
        zip_error_fini(&error);
    } else {
        archive.reset(zip_open(QFile::encodeName(m_zipFilename).constData(), ZIP_RDONLY, &openError));
    }
    if (!archive) {
        zip_error_t error;
        zip_error_init_with_code(&error, openError);
        report(openError, archiveName() + u": "_s + libzipText(&error));
        zip_error_fini(&error);
        m_result = (openError == ZIP_ER_NOENT || openError == ZIP_ER_OPEN) ? ResultNotFound : ResultDamaged;
        return nullptr;
    }
    if (!m_password.isEmpty())
        zip_set_default_password(archive.get(), AnsiText::toAnsi(m_password).constData());
    return archive.release();
}

void TZipArchive::skipUnsafe(ExtractRun& run, const QString& name)
{
    report(UnsafeEntry, u"Skipped, it would leave the target folder: "_s + name);
    run.warning = true;
}

void TZipArchive::extractEntry(ExtractRun& run, quint64 index)
{
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(run.archive, index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_NAME)) {
        report(zip_error_code_zip(zip_get_error(run.archive)), libzipText(zip_get_error(run.archive)));
        run.warning = true;
        return;
    }
    const QString name = QString::fromUtf8(stat.name);
    if (!run.masks.isEmpty() && std::none_of(run.masks.cbegin(), run.masks.cend(),
                                             [&](const QString& mask) { return matchesMask(name, mask); }))
        return;
    run.matched = true;

    std::optional<QString> relative = relativePathOf(name);
    if (!relative || isSymbolicLink(run.archive, index)) {
        skipUnsafe(run, name);
        return;
    }
    const bool isFolder = name.endsWith(u'/') || name.endsWith(u'\\');
    if (relative->isEmpty())
        return;
    if (isFolder) {
        if (run.dirNames && !run.test && !run.output.makeFolder(*relative))
            skipUnsafe(run, name);
        return;
    }
    if (!run.dirNames)
        *relative = relative->section(u'/', -1);
    const qint64 entryTime = (stat.valid & ZIP_STAT_MTIME) ? qint64(stat.mtime) : 0;
    if (!isToBeWritten(run, *relative, entryTime))
        return;

    progress(NewFile, name, (stat.valid & ZIP_STAT_SIZE) ? qint64(stat.size) : 0);
    writeEntry(run, index, name, *relative, stat);
}

bool TZipArchive::isToBeWritten(const ExtractRun& run, const QString& relative, qint64 entryTime)
{
    if (run.test)
        return true; // a test reads every entry and writes nothing
    qint64 presentTime = 0;
    const bool present = run.output.present(relative, presentTime);
    if (run.update || run.freshen) {
        if (present && presentTime >= entryTime)
            return false;               // not newer than what is there
        return present || !run.freshen; // freshening only replaces files that are there
    }
    return !present || run.overwrite;
}

void TZipArchive::writeEntry(ExtractRun& run, quint64 index, const QString& name, const QString& relative,
                             const zip_stat_t& stat)
{
    std::unique_ptr<zip_file_t, ZipFileCloser> entry(zip_fopen_index(run.archive, index, 0));
    if (!entry) {
        report(zip_error_code_zip(zip_get_error(run.archive)), name + u": "_s + libzipText(zip_get_error(run.archive)));
        run.warning = true;
        return;
    }
    const QString target = run.output.where(relative);
    QIODevice* out = nullptr;
    if (!run.test) {
        out = beginFile(run, name, relative, target);
        if (!out)
            return;
    }

    // A damaged entry (bad data, wrong CRC, wrong password) fails the read
    // and leaves any earlier file of that name as it was.
    if (!copyData(run, entry.get(), out, name, target, stat)) {
        if (out)
            run.output.cancel();
        run.warning = true;
        return;
    }
    if (!out)
        return;
    const qint64 entryTime = (stat.valid & ZIP_STAT_MTIME) ? qint64(stat.mtime) : 0;
    if (QString error; !run.output.commit(entryTime, error)) {
        report(WriteFailed, u"Cannot write "_s + target + u": "_s + error);
        run.warning = true;
        return;
    }
    if (run.verbose)
        report(0, u"Extracted "_s + relative);
}

QIODevice* TZipArchive::beginFile(ExtractRun& run, const QString& name, const QString& relative, const QString& target)
{
    const qsizetype slash = relative.lastIndexOf(u'/');
    if (!run.output.makeFolder(slash < 0 ? QString() : relative.first(slash))) {
        skipUnsafe(run, name);
        return nullptr;
    }
    QString error;
    QIODevice* out = run.output.begin(relative, error);
    if (!out) {
        report(WriteFailed, u"Cannot write "_s + target + u": "_s + error);
        run.warning = true;
    }
    return out;
}

bool TZipArchive::copyData(ExtractRun& run, zip_file* entry, QIODevice* out, const QString& name, const QString& target,
                           const zip_stat_t& stat)
{
    const qint64 wanted = (stat.valid & ZIP_STAT_SIZE) && stat.size < zip_uint64_t(ReadChunk)
                              ? std::max<qint64>(qint64(stat.size) + 1, 4096)
                              : ReadChunk;
    if (run.buffer.size() < wanted)
        run.buffer.resize(wanted);
    for (;;) {
        const zip_int64_t got = zip_fread(entry, run.buffer.data(), zip_uint64_t(run.buffer.size()));
        if (got < 0) {
            report(zip_error_code_zip(zip_file_get_error(entry)),
                   name + u": "_s + libzipText(zip_file_get_error(entry)));
            return false;
        }
        if (got == 0)
            return true;
        if (out && out->write(run.buffer.constData(), got) != got) {
            report(WriteFailed, u"Cannot write "_s + target + u": "_s + out->errorString());
            return false;
        }
        progress(ProgressUpdate, u" "_s, 0);
    }
}
