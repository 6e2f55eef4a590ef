#pragma once

#include <QString>
#include <functional>

class QWidget;

// The one way the program talks to the user through modal boxes and the
// file-open dialog. Tests install answerers that record each request and
// return a scripted answer instead of showing a window.
namespace Dialogs {

enum class Kind
{
    Plain,
    Information,
    Warning,
    Error,
    Confirmation
};

enum Button : int
{
    NoButton = 0,
    Ok = 0x01,
    Cancel = 0x02,
    Yes = 0x04,
    No = 0x08,
    Help = 0x10,
    Trust = 0x20, // "Vertrauen", for a certificate the program cannot verify
};
using Buttons = int;

struct MessageRequest
{
    Kind kind = Kind::Information;
    QString text; // lines separated by a single CR, as the program builds them
    Buttons buttons = Ok;
    int helpContext = 0; // the help page the Help button opens (0: none)
    // The button Enter presses and that has the focus; NoButton leaves the
    // platform's choice. A box offering Trust always defaults to Cancel.
    Button defaultButton = NoButton;
};

struct FileRequest
{
    QString title;
    QString defaultSuffix;
    QString startFile;
};

using MessageAnswerer = std::function<Button(const MessageRequest&)>;
using FileAnswerer = std::function<QString(const FileRequest&)>;
using HelpHandler = std::function<void(int context)>;

// Shows a modal box and returns the button that closed it.
Button message(Kind kind, const QString& text, Buttons buttons = Ok, int helpContext = 0);

// Shows the file-open dialog; returns the chosen file or an empty text.
QString openFileName(const FileRequest& request);

// Installs scripted answerers (tests); an empty function restores the real windows.
void setMessageAnswerer(MessageAnswerer answerer);
void setFileAnswerer(FileAnswerer answerer);

// What the Help button of a box does: the online help opens the page of the context.
void setHelpHandler(HelpHandler handler);

// The text as it is displayed: single CRs become line breaks.
QString displayText(const QString& text);

} // namespace Dialogs
