#include "FWOnlineHelpUnit.h"

#include "ComponentInfo.h"
#include "Dialogs.h"
#include "Exception.h"
#include "FWOnlineHelpDialog.h"
#include "IniFile.h"
#include "SettingsStore.h"
#include "ZipArchive.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QScreen>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <cmath>
#include <exception>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcHelp, "postrella.help", QtWarningMsg)

const QString TFWOnlineHelp::IndexFileName = u"HelpIndex.ini"_s;
const QString TFWOnlineHelp::RecordFileName = u"CurrentlyUncompressed.ini"_s;
const QString TFWOnlineHelp::MakerAddress = u"https://www.fernwick.example"_s;

namespace {

const QString kRecordSection = u"FILES"_s;
const QString kIndexSection = u"INDEX"_s;

// The help component that answers the application's help requests; the
// handler goes again when that component goes.
TFWOnlineHelp* g_helpHookOwner = nullptr;

QString withoutTrailingSeparator(QString path)
{
    if (path.endsWith(u'\\') || path.endsWith(u'/'))
        path.chop(1);
    return path;
}

// The record and the index are written with backslashes on the platform they
// come from; pages are addressed below the unpacked folder either way.
QString relativePart(QString name)
{
    name.replace(u'\\', u'/');
    while (name.startsWith(u'/'))
        name.remove(0, 1);
    return name;
}

std::optional<int> storedNumber(const SettingsStore& store, const QString& key, const QString& name)
{
    static const QRegularExpression decimal(u"^[+-]?\\d{1,9}$"_s);
    const std::optional<QString> text = store.readString(key, name);
    if (!text || !decimal.match(text->trimmed()).hasMatch())
        return std::nullopt;
    return text->trimmed().toInt();
}

} // namespace

TFWOnlineHelp::TFWOnlineHelp(QObject* parent) : QObject(parent)
{
    g_helpHookOwner = this;
    Dialogs::setHelpHandler([this](int context) {
        bool callHelp = true;
        ApplicationHelp(0, context, callHelp);
    });
}

TFWOnlineHelp::~TFWOnlineHelp()
{
    if (g_helpHookOwner == this) {
        Dialogs::setHelpHandler({});
        g_helpHookOwner = nullptr;
    }
    if (m_window) {
        TFWOnlineHelpDialog* window = m_window.data();
        window->close();
        delete window;
    }
}

void TFWOnlineHelp::setRegistryKey(const QString& key)
{
    QString stored = key;
    if (stored.endsWith(u'\\'))
        stored.chop(1);
    m_registryKey = stored + u"\\OnlineHelp"_s;
}

void TFWOnlineHelp::setPathToCompressedHelp(const QString& path)
{
    m_pathToCompressedHelp = withoutTrailingSeparator(path);
}

void TFWOnlineHelp::setPathToUncompressedHelp(const QString& path)
{
    m_pathToUncompressedHelp = withoutTrailingSeparator(path);
}

void TFWOnlineHelp::setPathToUnzipLibrary(const QString& path)
{
    m_pathToUnzipLibrary = withoutTrailingSeparator(path);
}

QString TFWOnlineHelp::compressedFile(const QString& name) const
{
    return m_pathToCompressedHelp + u'/' + relativePart(name);
}

QString TFWOnlineHelp::uncompressedFile(const QString& name) const
{
    return m_pathToUncompressedHelp + u'/' + relativePart(name);
}

void TFWOnlineHelp::message(const QString& german, const QString& english) const
{
    Dialogs::message(Dialogs::Kind::Error, m_link.isGerman() ? german : english, Dialogs::Ok);
}

QString TFWOnlineHelp::LanguageFileName(const QString& name) const
{
    const QString letter = m_link.isGerman() ? u"D"_s : u"E"_s;
    const qsizetype dot = name.indexOf(u'.');
    // A name without a dot gets the letter at its end.
    if (dot < 0)
        return name + u'_' + letter;
    return name.left(dot) + u'_' + letter + name.mid(dot);
}

double TFWOnlineHelp::dayCount(const QDateTime& localTime)
{
    static const QDate epoch(1899, 12, 30);
    const QDate date = localTime.date();
    const QTime time = localTime.time();
    // The two-second stamp of the file system the record was designed for.
    const int seconds = time.msecsSinceStartOfDay() / 1000 / 2 * 2;
    return double(epoch.daysTo(date)) + seconds / 86400.0;
}

double TFWOnlineHelp::fileDayCount(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return 0.0;
    return dayCount(info.lastModified().toLocalTime());
}

QString TFWOnlineHelp::dayCountText(double days)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(days, 'g', 15);
}

double TFWOnlineHelp::dayCountFromText(const QString& text)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = locale.toDouble(text.trimmed(), &ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

bool TFWOnlineHelp::DirectoryUsable(const QString& folder)
{
    // What changing into the folder would need, without touching the
    // process's current folder.
    const QFileInfo info(folder);
    return !folder.isEmpty() && info.isDir() && info.isExecutable();
}

void TFWOnlineHelp::CheckArchives(bool& basicNeeded, bool& additionalNeeded) const
{
    const QString basicName = basicArchiveName();
    basicNeeded = !m_fileNameBasicHelp.isEmpty() && QFileInfo::exists(compressedFile(basicName));
    additionalNeeded = !m_fileNameAdditional.isEmpty() && QFileInfo::exists(compressedFile(m_fileNameAdditional));

    if (m_pathToUncompressedHelp.isEmpty())
        return;
    const TIniFile record(uncompressedFile(RecordFileName));
    if (!record.exists())
        return;

    // The recorded time is the text written from the archive's time, so it
    // may differ from it in the last digits; compare at the second, below the
    // file system's resolution, or an unchanged archive is unpacked every time.
    const auto unchanged = [&](const QString& nameKey, const QString& dateKey, const QString& name) {
        if (record.readString(kRecordSection, nameKey) != name)
            return false;
        const double recorded = dayCountFromText(record.readString(kRecordSection, dateKey));
        if (!(recorded > 0.0))
            return false;
        const double now = fileDayCount(compressedFile(name));
        return std::llround(now * 86400.0) <= std::llround(recorded * 86400.0);
    };
    if (basicNeeded && unchanged(u"FILENAMEBASICHELP"_s, u"DATE_FILENAMEBASICHELP"_s, basicName))
        basicNeeded = false;
    if (additionalNeeded && unchanged(u"FILENAMEADDITIONAL"_s, u"DATE_FILENAMEADDITIONAL"_s, m_fileNameAdditional))
        additionalNeeded = false;
}

bool TFWOnlineHelp::UnpackArchive(const QString& archivePath)
{
    if (m_pathToUnzipLibrary.isEmpty())
        return true;

    TZipArchive zip(parent());
    zip.setLibraryDirectory(m_pathToUnzipLibrary);
    zip.LoadUnzipLibrary();
    zip.setExtrBaseDir(m_pathToUncompressedHelp);
    zip.setExtrOptions(zip.ExtrOptions() | TZipArchive::ExtrDirNames | TZipArchive::ExtrOverWrite);

    bool result = true;
    if (!QFileInfo::exists(archivePath)) {
        result = false;
    } else {
        try {
            zip.setZipFilename(archivePath);
            zip.RunExtraction();
            // An archive the extraction could not read at all is no unpacked
            // help, though nothing was raised: recording it would hide the failure.
            const int outcome = zip.ExtractResult();
            if (outcome == TZipArchive::ResultDamaged || outcome == TZipArchive::ResultNoTarget ||
                outcome == TZipArchive::ResultNotFound)
                result = false;
        } catch (const Exception& error) {
            qCWarning(lcHelp) << archivePath << error.message();
            result = false;
        } catch (const std::exception& error) {
            qCWarning(lcHelp) << archivePath << error.what();
            result = false;
        }
    }
    zip.UnloadUnzipLibrary();
    qCDebug(lcHelp) << "unpacked" << archivePath << result;
    return result;
}

bool TFWOnlineHelp::PrepareHelp()
{
    if (m_pathToCompressedHelp.isEmpty() || !DirectoryUsable(m_pathToCompressedHelp) ||
        m_pathToUncompressedHelp.isEmpty())
        return false;
    if (!DirectoryUsable(m_pathToUncompressedHelp)) {
        QDir().mkdir(m_pathToUncompressedHelp);
        if (!DirectoryUsable(m_pathToUncompressedHelp))
            return false;
    }

    bool basicNeeded = false;
    bool additionalNeeded = false;
    CheckArchives(basicNeeded, additionalNeeded);
    if (!basicNeeded && !additionalNeeded)
        return true;

    // Writes that fail leave the record as it was: unpacking goes on regardless.
    TIniFile record(uncompressedFile(RecordFileName));
    bool result = true;
    if (basicNeeded) {
        const QString name = basicArchiveName();
        result = UnpackArchive(compressedFile(name));
        if (result) {
            record.writeString(kRecordSection, u"FILENAMEBASICHELP"_s, name);
            record.writeString(kRecordSection, u"DATE_FILENAMEBASICHELP"_s,
                               dayCountText(fileDayCount(compressedFile(name))));
        }
    }
    if (result && additionalNeeded) {
        result = UnpackArchive(compressedFile(m_fileNameAdditional));
        if (result) {
            record.writeString(kRecordSection, u"FILENAMEADDITIONAL"_s, m_fileNameAdditional);
            record.writeString(kRecordSection, u"DATE_FILENAMEADDITIONAL"_s,
                               dayCountText(fileDayCount(compressedFile(m_fileNameAdditional))));
        }
    }
    return result;
}

void TFWOnlineHelp::setUpWindow(TFWOnlineHelpDialog& window) const
{
    window.setRegistryKey(m_registryKey);

    if (QScreen* screen = QGuiApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    SettingsStore store;
    if (!m_registryKey.isEmpty() && store.keyExists(m_registryKey)) {
        const QString key = m_registryKey + u"\\HelpWindow"_s;
        const int left = storedNumber(store, key, u"X"_s).value_or(window.x());
        const int top = storedNumber(store, key, u"Y"_s).value_or(window.y());
        const int height = storedNumber(store, key, u"Height"_s).value_or(window.height());
        const int width = storedNumber(store, key, u"Width"_s).value_or(window.width());
        window.move(left, top);
        window.resize(width, height);
        if (storedNumber(store, key, u"Status"_s) == 1)
            window.setWindowState(Qt::WindowMaximized);
        else
            window.setWindowState(Qt::WindowNoState);
    }

    window.setMakerAddress(MakerAddress);

    const bool german = m_link.isGerman();
    window.setWindowTitle(german ? u"Hilfe"_s : u"Help"_s);
    const struct
    {
        QToolButton* button;
        QString german;
        QString english;
    } captions[] = {
        {window.SpeedClose(), u"Schließen"_s, u"Close"_s},
        {window.SpeedBack(), u"Zurück"_s, u"Back"_s},
        {window.SpeedForward(), u"Vorwärts"_s, u"Forward"_s},
        {window.SpeedContents(), u"Inhalt"_s, u"Contents"_s},
    };
    for (const auto& caption : captions) {
        caption.button->setText(german ? caption.german : caption.english);
        caption.button->setAccessibleName(caption.button->text());
    }
    window.WebBrowser()->setAccessibleName(german ? u"Hilfe-Seite"_s : u"Help page"_s);

    window.setContentsPath(m_contentsPage.isEmpty() ? QString() : uncompressedFile(m_contentsPage));
    window.SpeedContents()->setVisible(!m_contentsPage.isEmpty());
}

bool TFWOnlineHelp::ShowPage(const QString& pageFile)
{
    if (!PrepareHelp()) {
        message(u"Die Online-Hilfe konnte nicht vorbereitet werden!"_s, u"Error while preparing Online-Help!"_s);
        return false;
    }
    const QString fullPath = uncompressedFile(pageFile);
    if (pageFile.isEmpty() || !QFileInfo(fullPath).isFile()) {
        message(u"Diese Hilfe-Seite ist nicht verfügbar!"_s, u"Page not available!"_s);
        // The next preparation then unpacks every archive again.
        QFile::remove(uncompressedFile(RecordFileName));
        return false;
    }

    if (!m_window) {
        try {
            auto* window = new TFWOnlineHelpDialog;
            setUpWindow(*window);
            window->OnFormClose = [this] { m_window = nullptr; };
            m_window = window;
        } catch (const std::exception& error) {
            qCWarning(lcHelp) << "no help window:" << error.what();
        }
    }
    if (m_window) {
        m_window->show();
        m_window->raise();
        m_window->activateWindow();
        m_window->ShowDocument(fullPath);
        return true;
    }

    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(fullPath))) {
        message(u"Anzeige nicht möglich!"_s, u"Display not possible!"_s);
        return false;
    }
    return true;
}

bool TFWOnlineHelp::ShowContext(int number)
{
    const TIniFile index(compressedFile(IndexFileName));
    if (m_pathToCompressedHelp.isEmpty() || !QFileInfo::exists(index.fileName())) {
        message(u"Die Hilfe-Indexdatei wurde nicht gefunden!"_s, u"Help-Index not found!"_s);
        return false;
    }
    if (!index.isReadable()) {
        message(u"Die Hilfe-Indexdatei konnte nicht geöffnet werden!"_s, u"Could not open help-Index!"_s);
        return false;
    }
    const QString page = index.readString(kIndexSection, QString::number(number));
    if (page.isEmpty()) {
        message(u"Der angeforderte Hilfe-Index existiert nicht!"_s, u"Requested help-index not found!"_s);
        return false;
    }
    return ShowPage(page);
}

bool TFWOnlineHelp::ApplicationHelp(quint16 command, qintptr data, bool& callHelp)
{
    Q_UNUSED(command);
    callHelp = false;
    return ShowContext(int(data));
}

void TFWOnlineHelp::WriteComponentInfo(const QString& key) const
{
    ComponentInfo::write(key, u"TFWOnlineHelp"_s, CIVersion(), CILastCompile());
}
