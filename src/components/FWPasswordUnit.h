#pragma once

#include "FWLanguageLink.h"

#include <QColor>
#include <QObject>
#include <QString>
#include <functional>

class TFWPasswordDialog;

// What Execute asks for.
enum class ModeMenge
{
    Get = 0,
    Write = 1,
    Retype = 2,
    Put = 3
};

// Asks for a user name and password, or for a new password typed twice, in a
// small modal window that exists only while Execute runs.
class TFWPassword : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString CILastCompile READ CILastCompile WRITE setCILastCompile)
    Q_PROPERTY(QString CIVersion READ CIVersion WRITE setCIVersion)
    Q_PROPERTY(QString LanguageCodeLetter READ LanguageCodeLetter WRITE setLanguageCodeLetter)
    Q_PROPERTY(ModeMenge Mode READ Mode WRITE setMode)
    Q_PROPERTY(bool User READ User WRITE setUser)
    Q_PROPERTY(QString UserName READ UserName WRITE setUserName)
    Q_PROPERTY(QString Password READ Password WRITE setPassword)
    Q_PROPERTY(QColor CaptionBeginColor READ CaptionBeginColor WRITE setCaptionBeginColor)
    Q_PROPERTY(QColor CaptionEndColor READ CaptionEndColor WRITE setCaptionEndColor)

public:
    // Called with the window right before each modal show (Retype shows it
    // twice). Tests answer the prompt from here, typically by queueing a
    // QTimer::singleShot(0, &dialog, ...) that fills the fields and clicks a
    // button once the window's loop runs. Process-wide; an empty function
    // removes it.
    using DialogHook = std::function<void(TFWPasswordDialog&)>;
    static void setDialogHook(DialogHook hook);

    explicit TFWPassword(QObject* parent = nullptr);

    QString CILastCompile() const { return QStringLiteral("29.06.2000"); }
    void setCILastCompile(const QString&) {}
    QString CIVersion() const { return QStringLiteral("1.06"); }
    void setCIVersion(const QString&) {}

    TFWLanguage* Language() const { return m_link.Language(); }
    void setLanguage(TFWLanguage* language) { m_link.setLanguage(language); }
    QString LanguageCodeLetter() const { return m_link.LanguageCodeLetter(); }
    void setLanguageCodeLetter(const QString& letter) { m_link.setLanguageCodeLetter(letter); }

    ModeMenge Mode() const { return m_mode; }
    void setMode(ModeMenge mode) { m_mode = mode; }
    // True makes the user-name label and field visible (they are by default).
    bool User() const { return m_user; }
    void setUser(bool user) { m_user = user; }
    QString UserName() const { return m_userName; }
    void setUserName(const QString& userName) { m_userName = userName; }
    QString Password() const { return m_password; }
    void setPassword(const QString& password) { m_password = password; }

    QColor CaptionBeginColor() const { return m_captionBeginColor; }
    void setCaptionBeginColor(const QColor& color) { m_captionBeginColor = color; }
    QColor CaptionEndColor() const { return m_captionEndColor; }
    void setCaptionEndColor(const QColor& color) { m_captionEndColor = color; }

    // Asks according to Mode and copies the answer into UserName and Password.
    // True only after a successful Retype; Get, Put and Write always give
    // false and the caller reads the properties instead.
    bool Execute();

    void WriteComponentInfo(const QString& key) const;

private:
    bool showModal(TFWPasswordDialog& dialog);

    TFWLanguageLink m_link;
    ModeMenge m_mode = ModeMenge::Get;
    bool m_user = false;
    QString m_userName;
    QString m_password;
    QColor m_captionBeginColor = Qt::black;
    QColor m_captionEndColor = Qt::blue;
};
