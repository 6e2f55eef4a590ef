#pragma once

#include "FWLanguageLink.h"
#include "FWOnlineHelpDialog.h"

#include <QColor>
#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>

// The program's help: HTML pages shipped in zip archives, unpacked beside the
// program when an archive is new or changed, found by context number through
// "HelpIndex.ini" and shown in one non-modal help window. Constructing it
// installs it as the application's help hook (the Help button of a message box).
class TFWOnlineHelp : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString CILastCompile READ CILastCompile WRITE setCILastCompile)
    Q_PROPERTY(QString CIVersion READ CIVersion WRITE setCIVersion)
    Q_PROPERTY(QString LanguageCodeLetter READ LanguageCodeLetter WRITE setLanguageCodeLetter)
    Q_PROPERTY(QColor CaptionBeginColor READ CaptionBeginColor WRITE setCaptionBeginColor)
    Q_PROPERTY(QColor CaptionEndColor READ CaptionEndColor WRITE setCaptionEndColor)
    Q_PROPERTY(QString RegistryKey READ RegistryKey WRITE setRegistryKey)
    Q_PROPERTY(QString PathToCompressedHelp READ PathToCompressedHelp WRITE setPathToCompressedHelp)
    Q_PROPERTY(QString PathToUncompressedHelp READ PathToUncompressedHelp WRITE setPathToUncompressedHelp)
    Q_PROPERTY(QString PathToUnzipLibrary READ PathToUnzipLibrary WRITE setPathToUnzipLibrary)
    Q_PROPERTY(QString FileNameBasicHelp READ FileNameBasicHelp WRITE setFileNameBasicHelp)
    Q_PROPERTY(QString FileNameAdditional READ FileNameAdditional WRITE setFileNameAdditional)
    Q_PROPERTY(QString ContentsPage READ ContentsPage WRITE setContentsPage)

public:
    static const QString IndexFileName;  // "HelpIndex.ini"
    static const QString RecordFileName; // "CurrentlyUncompressed.ini"
    static const QString MakerAddress;   // shown and opened by the link label of the help window

    explicit TFWOnlineHelp(QObject* parent = nullptr);
    ~TFWOnlineHelp() override;

    QString CILastCompile() const { return QStringLiteral("12.02.2000"); }
    void setCILastCompile(const QString&) {}
    QString CIVersion() const { return QStringLiteral("1.02"); }
    void setCIVersion(const QString&) {}

    TFWLanguage* Language() const { return m_link.Language(); }
    void setLanguage(TFWLanguage* language) { m_link.setLanguage(language); }
    QString LanguageCodeLetter() const { return m_link.LanguageCodeLetter(); }
    void setLanguageCodeLetter(const QString& letter) { m_link.setLanguageCodeLetter(letter); }

    // Kept for the family's common interface; the help does not paint with them.
    QColor CaptionBeginColor() const { return m_captionBeginColor; }
    void setCaptionBeginColor(const QColor& color) { m_captionBeginColor = color; }
    QColor CaptionEndColor() const { return m_captionEndColor; }
    void setCaptionEndColor(const QColor& color) { m_captionEndColor = color; }

    // The key of the window geometry: one trailing backslash is removed and
    // "\OnlineHelp" appended, so "...\FW-Postrella\OnlineHelp" ends in OnlineHelp twice.
    QString RegistryKey() const { return m_registryKey; }
    void setRegistryKey(const QString& key);
    // Folders; one trailing separator is removed.
    QString PathToCompressedHelp() const { return m_pathToCompressedHelp; }
    void setPathToCompressedHelp(const QString& path);
    QString PathToUncompressedHelp() const { return m_pathToUncompressedHelp; }
    void setPathToUncompressedHelp(const QString& path);
    // Empty means that nothing is ever unpacked.
    QString PathToUnzipLibrary() const { return m_pathToUnzipLibrary; }
    void setPathToUnzipLibrary(const QString& path);
    // Name of the basic archive before the language letter goes in ("basic.ohlp").
    QString FileNameBasicHelp() const { return m_fileNameBasicHelp; }
    void setFileNameBasicHelp(const QString& name) { m_fileNameBasicHelp = name; }
    QString FileNameAdditional() const { return m_fileNameAdditional; }
    void setFileNameAdditional(const QString& name) { m_fileNameAdditional = name; }
    // Page of the Contents button, relative to the unpacked folder; empty hides the button.
    QString ContentsPage() const { return m_contentsPage; }
    void setContentsPage(const QString& page) { m_contentsPage = page; }

    // Shows the page that "HelpIndex.ini" lists for the number; false after a message.
    bool ShowContext(int number);
    // Shows a page given relative to the unpacked folder; false after a message.
    bool ShowPage(const QString& pageFile);
    // Unpacks the archives that are new or changed; true when the help is ready.
    bool PrepareHelp();
    void WriteComponentInfo(const QString& key) const;
    // The application help hook: never calls the platform's help viewer.
    bool ApplicationHelp(quint16 command, qintptr data, bool& callHelp);

    // "basic.ohlp" -> "basic_D.ohlp" by the current letter.
    QString LanguageFileName(const QString& name) const;
    void CheckArchives(bool& basicNeeded, bool& additionalNeeded) const;
    bool UnpackArchive(const QString& archivePath);
    static bool DirectoryUsable(const QString& folder);

    // The open help window, or null while none is open.
    TFWOnlineHelpDialog* helpWindow() const { return m_window.data(); }

    // A file's last-write time as a day count (days since 30 December 1899,
    // the fraction the time of day), local time, cut to two seconds.
    static double fileDayCount(const QString& path);
    static double dayCount(const QDateTime& localTime);
    // Decimal text with up to 15 significant digits and the user's decimal
    // separator, and back; text that is no number reads as 0.
    static QString dayCountText(double days);
    static double dayCountFromText(const QString& text);

private:
    void message(const QString& german, const QString& english) const;
    QString compressedFile(const QString& name) const;
    QString uncompressedFile(const QString& name) const;
    QString basicArchiveName() const { return LanguageFileName(m_fileNameBasicHelp); }
    void setUpWindow(TFWOnlineHelpDialog& window) const;

    TFWLanguageLink m_link;
    QColor m_captionBeginColor = Qt::black;
    QColor m_captionEndColor = Qt::blue;
    QString m_registryKey;
    QString m_pathToCompressedHelp;
    QString m_pathToUncompressedHelp;
    QString m_pathToUnzipLibrary;
    QString m_fileNameBasicHelp;
    QString m_fileNameAdditional;
    QString m_contentsPage = QStringLiteral("index.htm");
    QPointer<TFWOnlineHelpDialog> m_window;
};
