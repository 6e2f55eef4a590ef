#pragma once

#include <QString>
#include <stdexcept>

// A value outside its permitted range; carries the message text to show.
// (The controls stand alone, so this does not derive from the pop3 layer's Exception.)
class ERangeError : public std::range_error
{
public:
    explicit ERangeError(const QString& message) : std::range_error(message.toStdString()), m_message(message) {}

    const QString& message() const noexcept { return m_message; }

private:
    QString m_message;
};
