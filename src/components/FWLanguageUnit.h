#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

// Language of the component's own messages.
enum class TLangDialog
{
    Deutsch = 0,
    English = 1
};

// Loads one language file (Windows-1252, CR line ends, four header lines, then
// "number,text" entries in ascending order) and hands out its texts by number.
// The texts stay bytes inside; GetText decodes them because they are shown.
class TFWLanguage : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString CILastCompile READ CILastCompile WRITE setCILastCompile)
    Q_PROPERTY(QString CIVersion READ CIVersion WRITE setCIVersion)
    Q_PROPERTY(QString Path READ Path WRITE setPath)
    Q_PROPERTY(QString FileName READ FileName WRITE setFileName)
    Q_PROPERTY(TLangDialog LanguageOfDialog READ LanguageOfDialog WRITE setLanguageOfDialog)
    Q_PROPERTY(QColor CaptionBeginColor READ CaptionBeginColor WRITE setCaptionBeginColor)
    Q_PROPERTY(QColor CaptionEndColor READ CaptionEndColor WRITE setCaptionEndColor)

public:
    explicit TFWLanguage(QObject* parent = nullptr);

    // Component information; fixed, assignments are ignored.
    QString CILastCompile() const { return QStringLiteral("01.02.2000"); }
    void setCILastCompile(const QString&) {}
    QString CIVersion() const { return QStringLiteral("1.05"); }
    void setCIVersion(const QString&) {}

    // Folder of the language files, kept without a trailing separator. With a
    // file name set, changing it reports a missing file and reloads.
    QString Path() const { return m_path; }
    void setPath(const QString& path);

    // Name of the language file inside Path. Any other extension than ".lng"
    // (in any case) becomes ".LNG"; a missing file is reported and the previous
    // name kept; the file (new or previous) is read again either way.
    QString FileName() const { return m_fileName; }
    void setFileName(const QString& fileName);

    TLangDialog LanguageOfDialog() const { return m_languageOfDialog; }
    void setLanguageOfDialog(TLangDialog language) { m_languageOfDialog = language; }

    QColor CaptionBeginColor() const { return m_captionBeginColor; }
    void setCaptionBeginColor(const QColor& color) { m_captionBeginColor = color; }
    QColor CaptionEndColor() const { return m_captionEndColor; }
    void setCaptionEndColor(const QColor& color) { m_captionEndColor = color; }

    // The text of the number, or an empty text when the loaded file has none.
    // Never shows a message.
    QString GetText(quint16 number) const;

    // Writes the component information record below the program key.
    void WriteComponentInfo(const QString& key) const;

    // Line 2 of the last file read ("E" until one was read); linked components
    // pick the language of their built-in texts by it.
    QString codeLetter() const;

    // The other header lines; kept with the file, nothing uses them further.
    QByteArray headerText1() const { return m_header1; }
    QByteArray headerText3() const { return m_header3; }
    qint32 headerNumber4() const { return m_header4; }

    // Number of entry lines loaded.
    qsizetype entryCount() const { return m_entries.size(); }

    // The language files (*.lng) in the folder, sorted by name.
    static QStringList languageFiles(const QString& path);
    // The file to start with: the stored choice when that file is in the
    // folder, otherwise the system's: the first of LC_ALL, LC_MESSAGES and
    // LANG that is set decides, "de..." giving deutsch.lng, any other english.lng.
    static QString startFile(const QString& path, const QString& stored);

private:
    void LoadFile();
    QString fullName(const QString& fileName) const;
    void showMissingFile() const;
    void showCorruptFile() const;

    QString m_path;
    QString m_fileName;
    TLangDialog m_languageOfDialog = TLangDialog::English;
    QColor m_captionBeginColor = Qt::black;
    QColor m_captionEndColor = Qt::blue;

    QList<QByteArray> m_entries; // lines 5 to the end, whole and in file order
    QByteArray m_header1;
    QByteArray m_codeLetter = QByteArrayLiteral("E");
    QByteArray m_header3;
    qint32 m_header4 = 0;
};
