#pragma once

#include "FWFont.h"
#include "FWInternalInfoUnit.h"
#include "FWLanguageLink.h"

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class TInfoScreenFormular;

// Holds what the modal information window shows and builds it on request.
class TFWInfoScreenA : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString CILastCompile READ CILastCompile WRITE setCILastCompile)
    Q_PROPERTY(QString CIVersion READ CIVersion WRITE setCIVersion)
    Q_PROPERTY(QColor CaptionBeginColor READ CaptionBeginColor WRITE setCaptionBeginColor)
    Q_PROPERTY(QColor CaptionEndColor READ CaptionEndColor WRITE setCaptionEndColor)
    Q_PROPERTY(QString CompanyNameLong READ CompanyNameLong WRITE setCompanyNameLong)
    Q_PROPERTY(QString CompanyNameShort READ CompanyNameShort WRITE setCompanyNameShort)
    Q_PROPERTY(QString LanguageCodeLetter READ LanguageCodeLetter WRITE setLanguageCodeLetter)
    Q_PROPERTY(TFWFont LogoFont READ LogoFont WRITE setLogoFont)
    Q_PROPERTY(QColor LogoShadowColor READ LogoShadowColor WRITE setLogoShadowColor)
    Q_PROPERTY(quint8 LogoShadowDeep READ LogoShadowDeep WRITE setLogoShadowDeep)
    Q_PROPERTY(QString Mail READ Mail WRITE setMail)
    Q_PROPERTY(QString ProgramName READ ProgramName WRITE setProgramName)
    Q_PROPERTY(TFWFont ProgramNameFont READ ProgramNameFont WRITE setProgramNameFont)
    Q_PROPERTY(QColor ProgramNameShadowColor READ ProgramNameShadowColor WRITE setProgramNameShadowColor)
    Q_PROPERTY(quint8 ProgramNameShadowDeep READ ProgramNameShadowDeep WRITE setProgramNameShadowDeep)
    Q_PROPERTY(QString URL READ URL WRITE setURL)
    Q_PROPERTY(QString VersionPrg READ VersionPrg WRITE setVersionPrg)
    Q_PROPERTY(TFWFont VersionFont READ VersionFont WRITE setVersionFont)
    Q_PROPERTY(bool ShowCompanyNameShort READ ShowCompanyNameShort WRITE setShowCompanyNameShort)
    Q_PROPERTY(bool ShowLogo READ ShowLogo WRITE setShowLogo)
    Q_PROPERTY(bool ShowMail READ ShowMail WRITE setShowMail)
    Q_PROPERTY(bool ShowURL READ ShowURL WRITE setShowURL)
    Q_PROPERTY(bool ShowVersion READ ShowVersion WRITE setShowVersion)
    Q_PROPERTY(bool ShowYear READ ShowYear WRITE setShowYear)
    Q_PROPERTY(QString Year READ Year WRITE setYear)

public:
    // Called with the window right before its modal show; tests inspect and
    // close it from here (queue a QTimer::singleShot(0, &window, ...)).
    // Process-wide; an empty function removes it.
    using DialogHook = std::function<void(TInfoScreenFormular&)>;
    static void setDialogHook(DialogHook hook);

    explicit TFWInfoScreenA(QObject* parent = nullptr);

    QString CILastCompile() const { return QStringLiteral("01.02.2000"); }
    void setCILastCompile(const QString&) {}
    QString CIVersion() const { return QStringLiteral("1.05"); }
    void setCIVersion(const QString&) {}

    // Kept for the family's common interface; this window does not use them.
    QColor CaptionBeginColor() const { return m_captionBeginColor; }
    void setCaptionBeginColor(const QColor& color) { m_captionBeginColor = color; }
    QColor CaptionEndColor() const { return m_captionEndColor; }
    void setCaptionEndColor(const QColor& color) { m_captionEndColor = color; }

    QString CompanyNameLong() const { return m_companyNameLong; }
    void setCompanyNameLong(const QString& name) { m_companyNameLong = name; }
    QString CompanyNameShort() const { return m_companyNameShort; }
    void setCompanyNameShort(const QString& name) { m_companyNameShort = name; }
    // The component behind the Internal button; without one the button is hidden.
    TFWInternalInfo* FWInternalInfo() const { return m_internalInfo.data(); }
    void setFWInternalInfo(TFWInternalInfo* info) { m_internalInfo = info; }

    TFWLanguage* Language() const { return m_link.Language(); }
    void setLanguage(TFWLanguage* language) { m_link.setLanguage(language); }
    QString LanguageCodeLetter() const { return m_link.LanguageCodeLetter(); }
    void setLanguageCodeLetter(const QString& letter) { m_link.setLanguageCodeLetter(letter); }

    TFWFont LogoFont() const { return m_logoFont; }
    void setLogoFont(const TFWFont& font) { m_logoFont = font; }
    QColor LogoShadowColor() const { return m_logoShadowColor; }
    void setLogoShadowColor(const QColor& color) { m_logoShadowColor = color; }
    quint8 LogoShadowDeep() const { return m_logoShadowDeep; }
    void setLogoShadowDeep(quint8 deep) { m_logoShadowDeep = deep; }
    QString Mail() const { return m_mail; }
    void setMail(const QString& mail) { m_mail = mail; }
    QString ProgramName() const { return m_programName; }
    void setProgramName(const QString& name) { m_programName = name; }
    TFWFont ProgramNameFont() const { return m_programNameFont; }
    void setProgramNameFont(const TFWFont& font) { m_programNameFont = font; }
    QColor ProgramNameShadowColor() const { return m_programNameShadowColor; }
    void setProgramNameShadowColor(const QColor& color) { m_programNameShadowColor = color; }
    quint8 ProgramNameShadowDeep() const { return m_programNameShadowDeep; }
    void setProgramNameShadowDeep(quint8 deep) { m_programNameShadowDeep = deep; }
    QString URL() const { return m_url; }
    void setURL(const QString& url) { m_url = url; }
    QString VersionPrg() const { return m_versionPrg; }
    void setVersionPrg(const QString& version) { m_versionPrg = version; }
    TFWFont VersionFont() const { return m_versionFont; }
    void setVersionFont(const TFWFont& font) { m_versionFont = font; }
    bool ShowCompanyNameShort() const { return m_showCompanyNameShort; }
    void setShowCompanyNameShort(bool show) { m_showCompanyNameShort = show; }
    bool ShowLogo() const { return m_showLogo; }
    void setShowLogo(bool show) { m_showLogo = show; }
    bool ShowMail() const { return m_showMail; }
    void setShowMail(bool show) { m_showMail = show; }
    bool ShowURL() const { return m_showURL; }
    void setShowURL(bool show) { m_showURL = show; }
    bool ShowVersion() const { return m_showVersion; }
    void setShowVersion(bool show) { m_showVersion = show; }
    bool ShowYear() const { return m_showYear; }
    void setShowYear(bool show) { m_showYear = show; }
    // The text after "(c) " in the notice line.
    QString Year() const { return m_year; }
    void setYear(const QString& year) { m_year = year; }

    // Builds, fills and shows the information window modally; returns when it is closed.
    void ShowInfoScreen();

private:
    TFWLanguageLink m_link;
    QPointer<TFWInternalInfo> m_internalInfo;
    QColor m_captionBeginColor = Qt::black;
    QColor m_captionEndColor = Qt::blue;
    QString m_companyNameLong = QStringLiteral("Fernwick");
    QString m_companyNameShort = QStringLiteral("FW");
    TFWFont m_logoFont = TFWFont::points(QStringLiteral("Times New Roman"), 36, true, false, Qt::gray);
    QColor m_logoShadowColor = Qt::black;
    quint8 m_logoShadowDeep = 2;
    QString m_mail = QStringLiteral("support@fernwick.example");
    QString m_programName;
    TFWFont m_programNameFont = TFWFont::points(QStringLiteral("Times New Roman"), 28, true, true, QColor(128, 0, 128));
    QColor m_programNameShadowColor = Qt::black;
    quint8 m_programNameShadowDeep = 1;
    QString m_url = QStringLiteral("www.fernwick.example");
    QString m_versionPrg;
    TFWFont m_versionFont = TFWFont::points(QStringLiteral("Arial"), 10, true, false, Qt::black);
    bool m_showCompanyNameShort = true;
    bool m_showLogo = true;
    bool m_showMail = true;
    bool m_showURL = true;
    bool m_showVersion = true;
    bool m_showYear = true;
    QString m_year;
};
