#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// An INI file read and written with the rules of the Windows private-profile
// functions, which the program's data files were written for:
// - section and key names compare without regard to case;
// - the first occurrence of a section, and of a key within it, wins;
// - a value is the text after the first '=' with blanks trimmed and one pair
//   of enclosing quotes removed, cut to 2047 characters;
// - lines starting with ';' are comments; lines before any section are ignored.
// The file holds Windows-1252 bytes. Every call reads the file afresh, so
// several objects on one file always agree; writes replace the file atomically
// and leave every other line (comments, other sections, line ends) untouched.
class TIniFile
{
public:
    static constexpr int MaxValueLength = 2047;

    explicit TIniFile(QString fileName);

    const QString& fileName() const { return m_fileName; }
    bool exists() const;
    // False when the file is missing or cannot be opened for reading.
    bool isReadable() const;

    // The raw bytes of a value, or the default when the file, section or key is missing.
    QByteArray readBytes(const QString& section, const QString& key, const QByteArray& defaultValue = {}) const;
    // The value as text (decoded from Windows-1252).
    QString readString(const QString& section, const QString& key, const QString& defaultValue = {}) const;
    // The value as a whole number: decimal, or hexadecimal with "0x" or "$";
    // anything else (garbage, out of range, empty) gives the default.
    int readInteger(const QString& section, const QString& key, int defaultValue) const;

    QStringList sections() const;
    QStringList keys(const QString& section) const;
    bool sectionExists(const QString& section) const;

    // Writes "key=value" into the first section of that name (appended when
    // missing; the file is created when missing). Returns false when nothing
    // could be written, or when a name or the value would break the line
    // structure (line breaks, '=' in a key, ']' in a section name).
    bool writeString(const QString& section, const QString& key, const QString& value);
    bool writeBytes(const QString& section, const QString& key, const QByteArray& value);
    bool writeInteger(const QString& section, const QString& key, int value);

    // Remove every line of the key in the section / every section of that
    // name with its lines. True when the file is as asked afterwards.
    bool deleteKey(const QString& section, const QString& key);
    bool deleteSection(const QString& section);

    // The number rules of readInteger, for callers that hold the text already.
    static std::optional<int> toInteger(const QByteArray& text);

private:
    QByteArray load() const;
    bool save(const QByteArray& content) const;

    QString m_fileName;
};
