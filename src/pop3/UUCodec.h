#pragma once

#include <QByteArray>
#include <QObject>
#include <functional>
#include <optional>

class QIODevice;

enum class UUMethods
{
    uuMime = 0,
    uuCode = 1
};

// Turns the text of an encoded message part back into the bytes it encodes:
// Base64 (uuMime) or classic uuencode lines (uuCode). Reads InputStream from
// its current position and appends to OutputStream at its current position;
// the caller opens, positions and closes both.
class TUUProcessor : public QObject
{
    Q_OBJECT
public:
    explicit TUUProcessor(QObject* parent = nullptr);
    ~TUUProcessor() override;

    UUMethods Method() const { return m_method; }
    void setMethod(UUMethods method) { m_method = method; }
    QIODevice* InputStream() const { return m_input; }
    void setInputStream(QIODevice* stream) { m_input = stream; }
    QIODevice* OutputStream() const { return m_output; }
    void setOutputStream(QIODevice* stream) { m_output = stream; }

    std::function<void(QObject* sender)> OnBeginDecode;
    std::function<void(QObject* sender)> OnEndDecode;

    // OnBeginDecode, the run chosen by Method, OnEndDecode. Throws Exception
    // when a stream is missing, cannot be read or does not take all bytes
    // (a full disk must not pass for a decoded attachment).
    void Decode();

    // The method a part's Content-Transfer-Encoding value asks for, compared
    // without case: uuCode when it contains "x-uuencode", uuMime when it
    // contains "base64", nothing when the part is stored as received.
    static std::optional<UUMethods> MethodFor(const QByteArray& transferEncoding);

private:
    void decodeBase64();
    void decodeUU();

    UUMethods m_method = UUMethods::uuMime;
    QIODevice* m_input = nullptr;
    QIODevice* m_output = nullptr;
};
