// The help archives are read with our own scan before anything is unpacked:
// whatever a damaged or hostile archive holds, the scan must neither crash
// nor let an entry land outside the target folder.
#include "Dialogs.h"
#include "Exception.h"
#include "ZipArchive.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_zipscan";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    Dialogs::setMessageAnswerer([](const Dialogs::MessageRequest&) { return Dialogs::Ok; });

    // One folder for the whole run: making and removing a folder for every
    // input cost more than the scan itself.
    static QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("input.zip"));
    QFile file(archive);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char*>(data), qint64(size));
    file.close();
    const QString target = dir.filePath(QStringLiteral("target"));
    QDir().mkpath(target);

    TZipArchive zip;
    zip.LoadUnzipLibrary();
    zip.setExtrBaseDir(target);
    zip.setExtrOptions(TZipArchive::ExtrDirNames | TZipArchive::ExtrOverWrite);
    try {
        zip.setZipFilename(archive);
        zip.RunExtraction();
    } catch (const Exception&) {
    }

    // Only the archive itself and the target folder may exist beside each other.
    QDirIterator it(dir.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        const QString entry = it.next();
        if (entry != archive && entry != target)
            std::abort();
    }
    QDir(target).removeRecursively();
    return 0;
}
