#include "Dialogs.h"

#include "UiLanguage.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

Dialogs::MessageAnswerer& messageAnswerer()
{
    static Dialogs::MessageAnswerer answerer;
    return answerer;
}

Dialogs::FileAnswerer& fileAnswerer()
{
    static Dialogs::FileAnswerer answerer;
    return answerer;
}

Dialogs::HelpHandler& helpHandler()
{
    static Dialogs::HelpHandler handler;
    return handler;
}

QMessageBox::Icon iconOf(Dialogs::Kind kind)
{
    switch (kind) {
    case Dialogs::Kind::Plain:
        return QMessageBox::NoIcon;
    case Dialogs::Kind::Information:
        return QMessageBox::Information;
    case Dialogs::Kind::Warning:
        return QMessageBox::Warning;
    case Dialogs::Kind::Error:
        return QMessageBox::Critical;
    case Dialogs::Kind::Confirmation:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

struct ButtonMap
{
    Dialogs::Button button;
    QMessageBox::StandardButton standard;
};

constexpr ButtonMap kButtons[] = {
    {Dialogs::Yes, QMessageBox::Yes},
    {Dialogs::No, QMessageBox::No},
    {Dialogs::Ok, QMessageBox::Ok},
    {Dialogs::Cancel, QMessageBox::Cancel},
};

Dialogs::Button showRealBox(const Dialogs::MessageRequest& request)
{
    QMessageBox box(iconOf(request.kind), QApplication::applicationDisplayName(), Dialogs::displayText(request.text),
                    QMessageBox::NoButton, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    for (const ButtonMap& map : kButtons) {
        if (request.buttons & map.button)
            box.addButton(map.standard);
    }
    QPushButton* trustButton = nullptr;
    if (request.buttons & Dialogs::Trust) {
        trustButton = box.addButton(byLanguage(u"Vertrauen"_s, u"Trust"_s), QMessageBox::AcceptRole);
        // The box asks in the interface's language; its way out says so too.
        if (QAbstractButton* cancel = box.button(QMessageBox::Cancel))
            cancel->setText(byLanguage(u"Abbrechen"_s, u"Cancel"_s));
    }
    for (const ButtonMap& map : kButtons) {
        if (request.defaultButton == map.button && (request.buttons & map.button))
            box.setDefaultButton(map.standard);
    }
    if (request.buttons & Dialogs::Cancel)
        box.setEscapeButton(QMessageBox::Cancel);
    QPushButton* helpButton = nullptr;
    if (request.buttons & Dialogs::Help)
        helpButton = box.addButton(QMessageBox::Help);
    if (box.buttons().isEmpty() || (helpButton && box.buttons().size() == 1))
        box.addButton(QMessageBox::Ok);
    box.exec();
    if (trustButton && box.clickedButton() == trustButton)
        return Dialogs::Trust;
    if (helpButton && box.clickedButton() == helpButton) {
        // The box is modal: the help window could not be used beside it, so
        // the box closes and the help page opens in its place.
        if (helpHandler())
            helpHandler()(request.helpContext);
        return Dialogs::Ok;
    }
    const auto clicked = box.standardButton(box.clickedButton());
    for (const ButtonMap& map : kButtons) {
        if (clicked == map.standard)
            return map.button;
    }
    // Closed without a button: the answer of Escape, as the platform gives it.
    if (request.buttons & Dialogs::Cancel)
        return Dialogs::Cancel;
    if (request.buttons & Dialogs::No)
        return Dialogs::No;
    return Dialogs::Ok;
}

} // namespace

namespace Dialogs {

Button message(Kind kind, const QString& text, Buttons buttons, int helpContext)
{
    MessageRequest request{kind, text, buttons, helpContext};
    // Enter must never give trust by accident: whoever presses it without
    // reading the box stays on the safe side.
    if (buttons & Trust)
        request.defaultButton = Cancel;
    if (messageAnswerer())
        return messageAnswerer()(request);
    return showRealBox(request);
}

QString openFileName(const FileRequest& request)
{
    if (fileAnswerer())
        return fileAnswerer()(request);
    QFileDialog dialog(QApplication::activeWindow(), request.title);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.startFile.isEmpty())
        dialog.selectFile(request.startFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void setMessageAnswerer(MessageAnswerer answerer)
{
    messageAnswerer() = std::move(answerer);
}

void setFileAnswerer(FileAnswerer answerer)
{
    fileAnswerer() = std::move(answerer);
}

void setHelpHandler(HelpHandler handler)
{
    helpHandler() = std::move(handler);
}

QString displayText(const QString& text)
{
    QString shown = text;
    shown.replace(u"\r\n"_s, u"\n"_s);
    shown.replace(u'\r', u'\n');
    return shown;
}

} // namespace Dialogs
