#include "FWLanguageUnit.h"

#include "AnsiText.h"
#include "ComponentInfo.h"
#include "Dialogs.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

bool isSeparator(QChar c)
{
    return c == u'\\' || c == u'/';
}

// Shows the hourglass while a file is read and takes it away on every path.
class WaitCursor
{
public:
    WaitCursor()
    {
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
            m_active = true;
        }
    }
    ~WaitCursor() { release(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

    void release()
    {
        if (m_active)
            QGuiApplication::restoreOverrideCursor();
        m_active = false;
    }

private:
    bool m_active = false;
};

// Splits the file into lines the way the text-file reader of the platform
// does: CR ends a line, an LF right after it belongs to the line end, a bare
// LF is part of the text and Ctrl-Z ends the file.
QList<QByteArray> splitLines(QByteArray data)
{
    const qsizetype eof = data.indexOf('\x1a');
    if (eof >= 0)
        data.truncate(eof);
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < data.size()) {
        const qsizetype cr = data.indexOf('\r', start);
        if (cr < 0) {
            lines.append(data.mid(start));
            break;
        }
        lines.append(data.mid(start, cr - start));
        start = cr + 1;
        if (start < data.size() && data.at(start) == '\n')
            ++start;
    }
    return lines;
}

// Line 4: a decimal whole number in 32 bits, blanks around it allowed.
std::optional<qint32> headerNumber(const QByteArray& line)
{
    const QByteArray text = line.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    bool ok = false;
    const qint32 value = text.toInt(&ok, 10);
    // toInt also accepts a leading '+' and '-'; nothing but digits after the sign.
    const qsizetype digitsFrom = (text.at(0) == '+' || text.at(0) == '-') ? 1 : 0;
    if (!ok || digitsFrom == text.size())
        return std::nullopt;
    for (qsizetype i = digitsFrom; i < text.size(); ++i) {
        if (text.at(i) < '0' || text.at(i) > '9')
            return std::nullopt;
    }
    return value;
}

// The number of an entry line: decimal digits before the first comma, within
// the range of text numbers. Anything else makes the line unreadable.
std::optional<quint16> entryNumber(const QByteArray& line)
{
    const qsizetype comma = line.indexOf(',');
    if (comma <= 0)
        return std::nullopt;
    quint32 value = 0;
    for (qsizetype i = 0; i < comma; ++i) {
        const char c = line.at(i);
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + quint32(c - '0');
        if (value > 0xFFFF)
            return std::nullopt;
    }
    return quint16(value);
}

} // namespace

TFWLanguage::TFWLanguage(QObject* parent) : QObject(parent) {}

void TFWLanguage::setPath(const QString& path)
{
    m_path = path;
    if (!m_path.isEmpty() && isSeparator(m_path.back()))
        m_path.chop(1);
    if (m_fileName.isEmpty())
        return;
    if (!QFileInfo(fullName(m_fileName)).isFile())
        showMissingFile();
    LoadFile();
}

void TFWLanguage::setFileName(const QString& fileName)
{
    if (fileName.isEmpty()) {
        m_fileName.clear();
        LoadFile();
        return;
    }
    QString name = fileName;
    qsizetype dot = -1;
    for (qsizetype i = name.size() - 1; i >= 0 && !isSeparator(name.at(i)); --i) {
        if (name.at(i) == u'.') {
            dot = i;
            break;
        }
    }
    const QString extension = dot < 0 ? QString() : name.mid(dot);
    if (extension.toUpper() != u".LNG"_s) {
        if (dot >= 0)
            name.truncate(dot);
        name += u".LNG"_s;
    }
    if (QFileInfo(fullName(name)).isFile())
        m_fileName = name;
    else
        showMissingFile();
    LoadFile();
}

QString TFWLanguage::fullName(const QString& fileName) const
{
    return m_path + u'/' + fileName;
}

void TFWLanguage::LoadFile()
{
    m_entries.clear();
    const QString name = fullName(m_fileName);
    if (m_fileName.isEmpty() || !QFileInfo(name).isFile())
        return;

    WaitCursor cursor;
    QFile file(name);
    bool ok = file.open(QIODevice::ReadOnly);
    if (ok) {
        const QByteArray data = file.readAll();
        ok = file.error() == QFileDevice::NoError;
        if (ok) {
            QList<QByteArray> lines = splitLines(data);
            // A file shorter than its header reads as empty lines, so the
            // missing line 4 fails as "not a number" below.
            auto line = [&lines](qsizetype i) { return i < lines.size() ? lines.at(i) : QByteArray(); };
            m_header1 = line(0).left(255);
            m_codeLetter = line(1);
            m_header3 = line(2);
            const std::optional<qint32> number = headerNumber(line(3));
            if (number) {
                m_header4 = *number;
                if (lines.size() > 4)
                    m_entries = lines.mid(4);
            } else {
                ok = false;
            }
        }
    }
    if (!ok) {
        cursor.release();
        m_entries.clear();
        showCorruptFile();
    }
}

QString TFWLanguage::GetText(quint16 number) const
{
    // A binary search over the lines as the file orders them. A line whose
    // number cannot be read is skipped: the nearest readable line above it
    // (within the range still open) decides the direction, and a range
    // without any readable line holds no text.
    qsizetype low = 0;
    qsizetype high = m_entries.size() - 1;
    while (low <= high) {
        const qsizetype mid = low + (high - low) / 2;
        qsizetype probe = mid;
        std::optional<quint16> value;
        for (; probe <= high; ++probe) {
            value = entryNumber(m_entries.at(probe));
            if (value)
                break;
        }
        if (!value) {
            high = mid - 1;
            continue;
        }
        if (*value == number) {
            const QByteArray& line = m_entries.at(probe);
            return AnsiText::fromAnsi(line.mid(line.indexOf(',') + 1));
        }
        if (*value < number)
            low = probe + 1;
        else
            high = mid - 1;
    }
    return {};
}

void TFWLanguage::WriteComponentInfo(const QString& key) const
{
    ComponentInfo::write(key, u"TFWLanguage"_s, CIVersion(), CILastCompile());
}

QStringList TFWLanguage::languageFiles(const QString& path)
{
    if (path.isEmpty())
        return {};
    return QDir(path).entryList({u"*.lng"_s}, QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
}

QString TFWLanguage::startFile(const QString& path, const QString& stored)
{
    // Only a bare name counts: a stored path must not reach outside the folder.
    if (!stored.isEmpty() && !stored.contains(u'/') && !stored.contains(u'\\') &&
        QFileInfo(path + u'/' + stored).isFile())
        return stored;
    QString locale;
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = qEnvironmentVariable(variable);
        if (!locale.isEmpty())
            break;
    }
    return locale.startsWith(u"de"_s) ? u"deutsch.lng"_s : u"english.lng"_s;
}

QString TFWLanguage::codeLetter() const
{
    return AnsiText::fromAnsi(m_codeLetter);
}

void TFWLanguage::showMissingFile() const
{
    Dialogs::message(Dialogs::Kind::Error, m_languageOfDialog == TLangDialog::Deutsch
                                               ? u"Sprachdatei nicht gefunden !"_s
                                               : u"Language-file not found !"_s);
}

void TFWLanguage::showCorruptFile() const
{
    Dialogs::message(Dialogs::Kind::Error, m_languageOfDialog == TLangDialog::Deutsch
                                               ? u"Datei ist fehlerhaft oder keine gültige Sprachdatei !"_s
                                               : u"File is corrupt or no valid language-file !"_s);
}
