#pragma once

#include "Dialogs.h"
#include "TestEnvironment.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <deque>

// Answers the program's message boxes and file dialogs from a script and
// records what was asked. Unexpected boxes are answered with the first button
// offered and still recorded, so a test can tell what was shown.
class ScriptedDialogs
{
public:
    ScriptedDialogs();
    ~ScriptedDialogs();

    void answerNext(Dialogs::Button button) { m_answers.push_back(button); }
    void answerFileDialog(const QString& file) { m_files.push_back(file); }

    const QList<Dialogs::MessageRequest>& messages() const { return m_messages; }
    QStringList texts() const;
    void clear() { m_messages.clear(); }

private:
    QList<Dialogs::MessageRequest> m_messages;
    std::deque<Dialogs::Button> m_answers;
    std::deque<QString> m_files;
};
