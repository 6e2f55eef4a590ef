#include "AttachmentRating.h"

#include "ProgramFolder.h"
#include "UiLanguage.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

QString unknownKind()
{
    return byLanguage(u"Unbekannt"_s, u"Unknown"_s);
}

QString noAdvice()
{
    return byLanguage(u"Keine Angabe"_s, u"Not stated"_s);
}

constexpr int kFailedLevel = 10;

} // namespace

TRatingFile::TRatingFile(const QString& fileName) : m_ini(fileName), m_readable(m_ini.isReadable()) {}

QString TRatingFile::defaultFileName()
{
    // The English interface rates with the English texts where they are shipped.
    const QString german = ProgramFolder::file(u"\\init\\Endung.ini"_s);
    const QString english = ProgramFolder::file(u"\\init\\Endung_E.ini"_s);
    return UiLanguage::isGerman() || !QFileInfo::exists(english) ? german : english;
}

QString TRatingFile::Endung(const QString& attachmentName)
{
    qsizetype end = attachmentName.size();
    while (end > 0 && (attachmentName.at(end - 1) == u'.' || attachmentName.at(end - 1) == u' '))
        --end;
    const QStringView name = QStringView(attachmentName).left(end);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot).toString();
}

TAttachmentRating TRatingFile::failed(const QString& endung)
{
    return {endung, unknownKind(), kFailedLevel, noAdvice()};
}

TAttachmentRating TRatingFile::rate(const QString& attachmentName) const
{
    const QString endung = Endung(attachmentName);
    if (endung.isEmpty())
        return {endung, unknownKind(), 0, noAdvice()};
    if (!m_readable)
        return failed(endung);
    try {
        return {endung, m_ini.readString(endung, u"Name"_s, unknownKind()), m_ini.readInteger(endung, u"Stufe"_s, 0),
                m_ini.readString(endung, u"Empfehlung"_s, noAdvice())};
    } catch (const std::exception&) {
        // One row that cannot be rated must not cost the others theirs.
        return failed(endung);
    }
}
