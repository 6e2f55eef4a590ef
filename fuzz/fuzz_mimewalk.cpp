// The MIME walk on arbitrary messages: it must neither crash nor write
// anything but the attachments it lists, all inside the scratch folder, and it
// must leave no temporary part file behind.
#include "Exception.h"
#include "MimeWalk.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

namespace {

struct Folders
{
    Folders() { QDir(root.path()).mkdir(QStringLiteral("temp")); }
    QTemporaryDir root;
    QString scratch() const { return root.filePath(QStringLiteral("temp")) + QLatin1Char('/'); }
};

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Folders folders;
    if (size == 0)
        return 0;
    // The first byte picks the options: parse single parts, and whether a
    // decode-start handler replaces the name with the rest of the input's first line.
    const bool parse = data[0] & 1;
    const bool rename = data[0] & 2;
    QByteArray message(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    QBuffer source(&message);
    source.open(QIODevice::ReadOnly);

    TMimeWalk::Hooks hooks;
    if (rename)
        hooks.decodeStart = [&](QString& name) { name = QString::fromLatin1(message.left(message.indexOf('\n'))); };
    TMailMessage mail;
    bool failed = false;
    try {
        TMimeWalk::walk(source, mail, folders.scratch(), parse, hooks);
    } catch (const Exception&) {
        failed = true;
    }

    const QDir root(folders.root.path());
    check(root.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System) ==
          QStringList{QStringLiteral("temp")});
    QDir scratch(folders.scratch());
    QStringList found = scratch.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    QStringList listed = failed ? QStringList{} : mail.Attachments;
    found.sort();
    listed.sort();
    check(found == listed);
    for (const QString& name : std::as_const(found)) {
        check(!name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')));
        check(QFile::encodeName(name).size() <= 255);
        check(scratch.remove(name));
    }
    return 0;
}
