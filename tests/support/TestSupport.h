#pragma once

#include "Dialogs.h"

#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <deque>

// A private copy of the built program folder and a private settings store for
// one test function; both are removed again when the object goes.
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();

    QString programFolder() const;
    QString settingsFile() const;
    QString path(const QString& relative) const;
    bool isValid() const { return m_dir.isValid(); }

private:
    QTemporaryDir m_dir;
};

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
