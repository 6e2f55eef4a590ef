#pragma once

#include "AttachmentName.h"
#include "MailMessage.h"
#include "PartSink.h"
#include "UUCodec.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QIODevice;

// Walks one message line by line as it arrives and fills a TMailMessage: the
// message header, then either the body text or the parts of a multipart
// message. The first part becomes the body text; every later part goes line by
// line into a temporary file Temp<n>.mme in the scratch folder and, once it is
// complete, into its attachment file there, decoded when its transfer encoding
// is Base64 or x-uuencode. So a large attachment is never held in memory, and
// the walk needs no socket: the client, the tests and the fuzzer feed it lines.
// Tests and the fuzzer may hand it a sink that keeps the files in memory.
class TMimeWalk
{
public:
    struct Hooks
    {
        std::function<void(int Level, const QString& Text)> status;
        // After each line of a part has gone to the body text or a file.
        std::function<void()> lineMoved;
        // Before a part is stored as a file; may change the name.
        std::function<void(QString& FileName)> decodeStart;
    };

    // folder: the scratch folder, ending in a separator. parse: whether a
    // single-part message is extracted too (otherwise its lines are the body).
    TMimeWalk(TMailMessage& message, QString folder, bool parse, Hooks hooks = {});
    // The same, storing into the sink, which must outlive the walk.
    TMimeWalk(TMailMessage& message, TPartSink& sink, bool parse, Hooks hooks = {});
    ~TMimeWalk();
    TMimeWalk(const TMimeWalk&) = delete;
    TMimeWalk& operator=(const TMimeWalk&) = delete;

    // The next line of the message, without its line end. The walk keeps no
    // reference to it: what it stores, it copies.
    void addLine(QByteArrayView line);
    // The message has ended: the part still open is completed.
    void finish();
    // After a failure: removes every file this walk wrote and empties the body
    // and the attachment list, so nothing half done stays behind.
    void abandon();

    // A whole message from a device whose lines end in LF or CR LF; the end of
    // the device ends the message. Abandons the walk when it fails.
    static void walk(QIODevice& source, TMailMessage& message, const QString& folder, bool parse, Hooks hooks = {});
    static void walk(QIODevice& source, TMailMessage& message, TPartSink& sink, bool parse, Hooks hooks = {});

    // Number of the last temporary part file. It counts for the whole process
    // and never goes back, so the names stay unique for the run.
    static int tempCounter();

private:
    enum class Stage
    {
        MessageHeader,
        Preamble,
        PartHeader,
        PartBody,
        Single,
        Epilogue
    };

    bool isDelimiter(QByteArrayView line) const;
    bool headerLine(QByteArrayView line, QByteArray& boundary);
    void bodyBegins();
    void partHeaderBegins();
    void beginPart();
    void partLine(QByteArrayView line);
    void endPart();
    void storeFile();
    void removeTemp();
    QString firstFree(const QString& name);
    QString claim(const QString& name, std::unique_ptr<QIODevice>& file);
    void loadBody(const QString& name);
    void status(int level, const QString& text) const;
    [[noreturn]] static void fileError(const QString& path, const QString& reason);

    static void walkLines(QIODevice& source, TMimeWalk& walk);

    TMailMessage& m_message;
    std::unique_ptr<TPartSink> m_ownSink;
    TPartSink& m_sink;
    bool m_parse;
    Hooks m_hooks;
    Stage m_stage = Stage::MessageHeader;
    // 2 reading the message header, 1 the next part goes to the body text, 0 it goes to a file.
    int m_partState = 2;
    bool m_partOpen = false;
    bool m_bodyFromFile = false;
    AttachmentName::Parameters m_name;
    QByteArray m_transferEncoding;
    QByteArray m_partBoundary;
    QIODevice* m_temp = nullptr;
    QStringList m_written;
    QHash<QString, int> m_lastAlternative;
    TUUProcessor m_decoder;
};
