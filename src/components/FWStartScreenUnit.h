#pragma once

#include "FWFont.h"
#include "FWLanguageLink.h"
#include "FWStartScreenForm.h"

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QString>

// Holds what the start screen shows and builds the window on request. The
// window does not block: ShowStartScreen returns at once and the window
// closes itself after DisplayTime or on a click.
class TFWStartScreenA : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString CILastCompile READ CILastCompile WRITE setCILastCompile)
    Q_PROPERTY(QString CIVersion READ CIVersion WRITE setCIVersion)
    Q_PROPERTY(QString Bitmap READ Bitmap WRITE setBitmap)
    Q_PROPERTY(QString CompanyNameLong READ CompanyNameLong WRITE setCompanyNameLong)
    Q_PROPERTY(TFWFont CompanyNameLongFont READ CompanyNameLongFont WRITE setCompanyNameLongFont)
    Q_PROPERTY(QColor CompanyNameLongShadowColor READ CompanyNameLongShadowColor WRITE setCompanyNameLongShadowColor)
    Q_PROPERTY(quint8 CompanyNameLongShadowDeep READ CompanyNameLongShadowDeep WRITE setCompanyNameLongShadowDeep)
    Q_PROPERTY(TFWFont CompanyNameLongObenFont READ CompanyNameLongObenFont WRITE setCompanyNameLongObenFont)
    Q_PROPERTY(QColor CompanyNameLongObenShadowColor READ CompanyNameLongObenShadowColor WRITE
                   setCompanyNameLongObenShadowColor)
    Q_PROPERTY(
        quint8 CompanyNameLongObenShadowDeep READ CompanyNameLongObenShadowDeep WRITE setCompanyNameLongObenShadowDeep)
    Q_PROPERTY(QString CompanyNameShort READ CompanyNameShort WRITE setCompanyNameShort)
    Q_PROPERTY(quint16 DisplayTime READ DisplayTime WRITE setDisplayTime)
    Q_PROPERTY(QString LanguageCodeLetter READ LanguageCodeLetter WRITE setLanguageCodeLetter)
    Q_PROPERTY(TFWFont LogoFont READ LogoFont WRITE setLogoFont)
    Q_PROPERTY(QColor LogoShadowColor READ LogoShadowColor WRITE setLogoShadowColor)
    Q_PROPERTY(quint8 LogoShadowDeep READ LogoShadowDeep WRITE setLogoShadowDeep)
    Q_PROPERTY(TFWFont OtherFont READ OtherFont WRITE setOtherFont)
    Q_PROPERTY(QString ProgramName READ ProgramName WRITE setProgramName)
    Q_PROPERTY(TFWFont ProgramNameFont READ ProgramNameFont WRITE setProgramNameFont)
    Q_PROPERTY(QColor ProgramNameShadowColor READ ProgramNameShadowColor WRITE setProgramNameShadowColor)
    Q_PROPERTY(quint8 ProgramNameShadowDeep READ ProgramNameShadowDeep WRITE setProgramNameShadowDeep)
    Q_PROPERTY(QString VersionPrg READ VersionPrg WRITE setVersionPrg)
    Q_PROPERTY(TFWFont VersionFont READ VersionFont WRITE setVersionFont)
    Q_PROPERTY(QColor VersionShadowColor READ VersionShadowColor WRITE setVersionShadowColor)
    Q_PROPERTY(quint8 VersionShadowDeep READ VersionShadowDeep WRITE setVersionShadowDeep)
    Q_PROPERTY(QString TextVersionFor READ TextVersionFor WRITE setTextVersionFor)
    Q_PROPERTY(bool ShowCompanyNameShort READ ShowCompanyNameShort WRITE setShowCompanyNameShort)
    Q_PROPERTY(bool ShowLogo READ ShowLogo WRITE setShowLogo)
    Q_PROPERTY(bool ShowVersion READ ShowVersion WRITE setShowVersion)
    Q_PROPERTY(bool ShowYear READ ShowYear WRITE setShowYear)
    Q_PROPERTY(QString Year READ Year WRITE setYear)

public:
    explicit TFWStartScreenA(QObject* parent = nullptr);
    // Takes down a start window that is still up.
    ~TFWStartScreenA() override;

    QString CILastCompile() const { return QStringLiteral("01.02.2000"); }
    void setCILastCompile(const QString&) {}
    QString CIVersion() const { return QStringLiteral("1.02"); }
    void setCIVersion(const QString&) {}

    QString Bitmap() const { return m_bitmap; }
    void setBitmap(const QString& path) { m_bitmap = path; }
    QString CompanyNameLong() const { return m_companyNameLong; }
    void setCompanyNameLong(const QString& name) { m_companyNameLong = name; }
    TFWFont CompanyNameLongFont() const { return m_companyFont; }
    void setCompanyNameLongFont(const TFWFont& font) { m_companyFont = font; }
    QColor CompanyNameLongShadowColor() const { return m_companyShadowColor; }
    void setCompanyNameLongShadowColor(const QColor& color) { m_companyShadowColor = color; }
    quint8 CompanyNameLongShadowDeep() const { return m_companyShadowDeep; }
    void setCompanyNameLongShadowDeep(quint8 deep) { m_companyShadowDeep = deep; }
    TFWFont CompanyNameLongObenFont() const { return m_companyObenFont; }
    void setCompanyNameLongObenFont(const TFWFont& font) { m_companyObenFont = font; }
    QColor CompanyNameLongObenShadowColor() const { return m_companyObenShadowColor; }
    void setCompanyNameLongObenShadowColor(const QColor& color) { m_companyObenShadowColor = color; }
    quint8 CompanyNameLongObenShadowDeep() const { return m_companyObenShadowDeep; }
    void setCompanyNameLongObenShadowDeep(quint8 deep) { m_companyObenShadowDeep = deep; }
    QString CompanyNameShort() const { return m_companyNameShort; }
    void setCompanyNameShort(const QString& name) { m_companyNameShort = name; }
    // Milliseconds; 0 keeps the window until it is clicked.
    quint16 DisplayTime() const { return m_displayTime; }
    void setDisplayTime(quint16 ms) { m_displayTime = ms; }

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
    // The notice line and the platform line.
    TFWFont OtherFont() const { return m_otherFont; }
    void setOtherFont(const TFWFont& font) { m_otherFont = font; }
    QString ProgramName() const { return m_programName; }
    void setProgramName(const QString& name) { m_programName = name; }
    TFWFont ProgramNameFont() const { return m_programNameFont; }
    void setProgramNameFont(const TFWFont& font) { m_programNameFont = font; }
    QColor ProgramNameShadowColor() const { return m_programNameShadowColor; }
    void setProgramNameShadowColor(const QColor& color) { m_programNameShadowColor = color; }
    quint8 ProgramNameShadowDeep() const { return m_programNameShadowDeep; }
    void setProgramNameShadowDeep(quint8 deep) { m_programNameShadowDeep = deep; }
    QString VersionPrg() const { return m_versionPrg; }
    void setVersionPrg(const QString& version) { m_versionPrg = version; }
    TFWFont VersionFont() const { return m_versionFont; }
    void setVersionFont(const TFWFont& font) { m_versionFont = font; }
    QColor VersionShadowColor() const { return m_versionShadowColor; }
    void setVersionShadowColor(const QColor& color) { m_versionShadowColor = color; }
    quint8 VersionShadowDeep() const { return m_versionShadowDeep; }
    void setVersionShadowDeep(quint8 deep) { m_versionShadowDeep = deep; }
    QString TextVersionFor() const { return m_textVersionFor; }
    void setTextVersionFor(const QString& text) { m_textVersionFor = text; }
    bool ShowCompanyNameShort() const { return m_showCompanyNameShort; }
    void setShowCompanyNameShort(bool show) { m_showCompanyNameShort = show; }
    bool ShowLogo() const { return m_showLogo; }
    void setShowLogo(bool show) { m_showLogo = show; }
    bool ShowVersion() const { return m_showVersion; }
    void setShowVersion(bool show) { m_showVersion = show; }
    bool ShowYear() const { return m_showYear; }
    void setShowYear(bool show) { m_showYear = show; }
    // The text after the maker's name in the notice line.
    QString Year() const { return m_year; }
    void setYear(const QString& year) { m_year = year; }

    // Builds, fills and shows a new start window and returns at once. A
    // missing or unreadable picture leaves the plain silver background.
    void ShowStartScreen();
    // The window last built while it is still up; null once it is gone.
    TStartScreenFormular* Form() const { return m_form.data(); }

    void WriteComponentInfo(const QString& key) const;

private:
    TFWLanguageLink m_link;
    QPointer<TStartScreenFormular> m_form;
    QString m_bitmap;
    QString m_companyNameLong = QStringLiteral("Fernwick");
    TFWFont m_companyFont = TFWFont::points(QStringLiteral("Arial"), 16, true, false, Qt::white);
    QColor m_companyShadowColor = Qt::black;
    quint8 m_companyShadowDeep = 2;
    TFWFont m_companyObenFont = TFWFont::points(QStringLiteral("Arial"), 11, true, true, Qt::white);
    QColor m_companyObenShadowColor = Qt::black;
    quint8 m_companyObenShadowDeep = 1;
    QString m_companyNameShort = QStringLiteral("FW");
    quint16 m_displayTime = 5000;
    TFWFont m_logoFont = TFWFont::points(QStringLiteral("Times New Roman"), 36, true, false, Qt::gray);
    QColor m_logoShadowColor = Qt::black;
    quint8 m_logoShadowDeep = 2;
    TFWFont m_otherFont = TFWFont::points(QStringLiteral("Arial"), 8, true, false, Qt::white);
    QString m_programName;
    TFWFont m_programNameFont = TFWFont::points(QStringLiteral("Times New Roman"), 32, true, true, Qt::yellow);
    QColor m_programNameShadowColor = Qt::black;
    quint8 m_programNameShadowDeep = 2;
    QString m_versionPrg;
    TFWFont m_versionFont = TFWFont::points(QStringLiteral("Arial"), 14, true, false, Qt::white);
    QColor m_versionShadowColor = Qt::black;
    quint8 m_versionShadowDeep = 2;
    QString m_textVersionFor;
    bool m_showCompanyNameShort = true;
    bool m_showLogo = true;
    bool m_showVersion = true;
    bool m_showYear = true;
    QString m_year;
};
