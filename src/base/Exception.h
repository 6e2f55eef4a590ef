#pragma once

#include <QString>
#include <exception>

// Every failure of the program travels as an exception that carries one
// message text; the command guard shows that text to the user.
class Exception : public std::exception
{
public:
    explicit Exception(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}

    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// The text a failure carries: an Exception's own message, the bytes of what()
// for any other.
inline QString messageOf(const std::exception& e)
{
    const auto* failure = dynamic_cast<const Exception*>(&e);
    return failure ? failure->message() : QString::fromLocal8Bit(e.what());
}
