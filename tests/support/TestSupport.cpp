#include "TestSupport.h"

ScriptedDialogs::ScriptedDialogs()
{
    Dialogs::setMessageAnswerer([this](const Dialogs::MessageRequest& request) {
        m_messages.append(request);
        if (!m_answers.empty()) {
            const Dialogs::Button answer = m_answers.front();
            m_answers.pop_front();
            return answer;
        }
        for (const Dialogs::Button b : {Dialogs::Ok, Dialogs::Yes, Dialogs::No, Dialogs::Cancel}) {
            if (request.buttons & b)
                return b;
        }
        return Dialogs::Ok;
    });
    Dialogs::setFileAnswerer([this](const Dialogs::FileRequest&) {
        if (m_files.empty())
            return QString();
        QString file = m_files.front();
        m_files.pop_front();
        return file;
    });
}

ScriptedDialogs::~ScriptedDialogs()
{
    Dialogs::setMessageAnswerer({});
    Dialogs::setFileAnswerer({});
}

QStringList ScriptedDialogs::texts() const
{
    QStringList result;
    for (const Dialogs::MessageRequest& request : m_messages)
        result.append(request.text);
    return result;
}
