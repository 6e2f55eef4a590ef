// The help archives are read with our own scan before anything is unpacked:
// whatever a damaged or hostile archive holds, the scan must neither crash
// nor let an entry land outside the target folder. The archive is read from
// memory and the entries stay there, so a run is fast; every path that would
// be created is checked to lie inside the target.
#include "Dialogs.h"
#include "Exception.h"
#include "ZipArchive.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// A path below the target: relative, '/' between the parts, no part empty,
// "." or "..", no drive letter, no backslash.
bool isInside(const QString& relative)
{
    if (relative.isEmpty() || relative.contains(u'\\') ||
        (relative.size() >= 2 && relative[1] == u':' && relative[0].isLetter()))
        return false;
    for (const QString& part : relative.split(u'/')) {
        if (part.isEmpty() || part == u"." || part == u"..")
            return false;
    }
    return true;
}

class CheckedOutput : public TZipMemoryOutput
{
public:
    bool makeFolder(const QString& relative) override
    {
        check(relative.isEmpty() || isInside(relative));
        return TZipMemoryOutput::makeFolder(relative);
    }
    QIODevice* begin(const QString& relative, QString& error) override
    {
        check(isInside(relative));
        return TZipMemoryOutput::begin(relative, error);
    }
};

} // namespace

// Allocation stacks are not recorded: a crash is found all the same, and
// ASAN_OPTIONS=malloc_context_size=30 shows them when it is examined.
extern "C" const char* __asan_default_options()
{
    return "malloc_context_size=0";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_zipscan";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    Dialogs::setMessageAnswerer([](const Dialogs::MessageRequest&) { return Dialogs::Ok; });

    CheckedOutput output;
    TZipArchive zip;
    zip.LoadUnzipLibrary();
    zip.setOutput(&output);
    zip.setExtrOptions(TZipArchive::ExtrDirNames | TZipArchive::ExtrOverWrite);
    try {
        // The input is not copied: a read past its end is caught.
        zip.setZipData(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
        zip.RunExtraction();
    } catch (const Exception&) {
    }
    for (const auto& [path, content] : output.files())
        check(isInside(path));
    return 0;
}
