#pragma once

#include "FWLanguageLink.h"

#include <QColor>
#include <QObject>
#include <QString>
#include <functional>

class TFWInternalInfoDialog;

// Lists the component records of the program (every family component writes
// one at start-up) in a modal window reached from the information screen.
class TFWInternalInfo : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString CILastCompile READ CILastCompile WRITE setCILastCompile)
    Q_PROPERTY(QString CIVersion READ CIVersion WRITE setCIVersion)
    Q_PROPERTY(QString LanguageCodeLetter READ LanguageCodeLetter WRITE setLanguageCodeLetter)
    Q_PROPERTY(QColor CaptionBeginColor READ CaptionBeginColor WRITE setCaptionBeginColor)
    Q_PROPERTY(QColor CaptionEndColor READ CaptionEndColor WRITE setCaptionEndColor)

public:
    // Called with the window right before its modal show; tests inspect and
    // close it from here. Process-wide; an empty function removes it.
    using DialogHook = std::function<void(TFWInternalInfoDialog&)>;
    static void setDialogHook(DialogHook hook);

    explicit TFWInternalInfo(QObject* parent = nullptr);

    QString CILastCompile() const { return QStringLiteral("05.02.2000"); }
    void setCILastCompile(const QString&) {}
    QString CIVersion() const { return QStringLiteral("2.0"); }
    void setCIVersion(const QString&) {}

    TFWLanguage* Language() const { return m_link.Language(); }
    void setLanguage(TFWLanguage* language) { m_link.setLanguage(language); }
    QString LanguageCodeLetter() const { return m_link.LanguageCodeLetter(); }
    void setLanguageCodeLetter(const QString& letter) { m_link.setLanguageCodeLetter(letter); }

    QColor CaptionBeginColor() const { return m_captionBeginColor; }
    void setCaptionBeginColor(const QColor& color) { m_captionBeginColor = color; }
    QColor CaptionEndColor() const { return m_captionEndColor; }
    void setCaptionEndColor(const QColor& color) { m_captionEndColor = color; }

    // The key the internal window lists (program key + "\CI"); empty until
    // WriteComponentInfo has run.
    QString ComponentInfoKey() const { return m_componentInfoKey; }

    // Writes this component's record and remembers where the records live.
    void WriteComponentInfo(const QString& key);
    // Builds, fills and shows the internal information window modally.
    void ShowInternalInfo();

private:
    TFWLanguageLink m_link;
    QColor m_captionBeginColor = Qt::black;
    QColor m_captionEndColor = Qt::blue;
    QString m_componentInfoKey;
};
