#pragma once

#include <QFont>
#include <QString>
#include <QTextDocument>
#include <QWidget>

// Every widget carries its name as object name and a caption for assistive
// technology; the windows build their controls through these two helpers.
template <typename W> W* named(W* widget, const QString& name, const QString& accessible = QString())
{
    widget->setObjectName(name);
    widget->setAccessibleName(accessible.isEmpty() ? name : accessible);
    return widget;
}

// A tool tip that shows the text as it stands. Qt takes a tool tip that looks
// like markup for rich text and loads the images it names; text from a server,
// a mail or a file must never be read that way.
inline QString plainToolTip(const QString& text)
{
    return text.isEmpty() ? QString() : Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap);
}

// The windows' Times New Roman, sized in pixels as they were designed.
inline QFont timesFont(int pixels, bool bold = false, bool italic = false)
{
    QFont f(QStringLiteral("Times New Roman"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}
