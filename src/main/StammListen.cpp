// The list editor: the user's subject and sender lists.
#include "AnsiText.h"
#include "Dialogs.h"
#include "ProgramFolder.h"
#include "Screening.h"
#include "StammUn.h"
#include "UiLanguage.h"

#include <QAction>
#include <QFrame>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>

using namespace Qt::StringLiterals;

namespace {

const QString kBetreffUser = u"Betreff_User.ini"_s;
const QString kAbsenderUser = u"Absender_User.ini"_s;

void loadInto(QPlainTextEdit* memo, const QString& fileName)
{
    const QList<QByteArray> lines = Screening::loadList(ProgramFolder::userList(fileName));
    QStringList text;
    for (const QByteArray& line : lines)
        text.append(AnsiText::fromAnsi(line));
    memo->setPlainText(text.join(u'\n'));
    memo->document()->setModified(false);
}

void saveFrom(QPlainTextEdit* memo, const QString& fileName)
{
    // The raw text keeps a non-breaking space, which the plain text turns into
    // a blank; a pattern must stay byte for byte what the user typed.
    QString raw = memo->document()->toRawText();
    raw.replace(QChar::ParagraphSeparator, u'\n').replace(QChar::LineSeparator, u'\n');
    QStringList text = raw.split(u'\n');
    // The line break after the last pattern ends that line; it is no empty pattern.
    if (!text.isEmpty() && text.constLast().isEmpty())
        text.removeLast();
    QList<QByteArray> lines;
    QStringList blank;
    for (const QString& line : text) {
        lines.append(AnsiText::toAnsi(line));
        if (!line.isEmpty() && !Screening::isPattern(lines.constLast()))
            blank.append(QString::number(lines.size()));
    }
    Screening::saveList(ProgramFolder::userList(fileName), lines);
    memo->document()->setModified(false);
    // Such a line cannot be seen in the editor; it is kept as typed, but it screens nothing.
    if (!blank.isEmpty())
        Dialogs::message(
            Dialogs::Kind::Warning,
            byLanguage(u"Zeile(n) "_s, u"Line(s) "_s) + blank.join(u", "_s) + byLanguage(u" der "_s, u" of the "_s) +
                memo->accessibleName() +
                byLanguage(u" enthalten nur Leerzeichen oder Tabulatoren.\r"_s, u" hold only blanks or tabs.\r"_s) +
                byLanguage(u"Solche Zeilen werden bei der Prüfung nicht beachtet."_s,
                           u"Such lines are ignored by the check."_s));
}

} // namespace

void TStammForm::Subject1Click(QObject* sender)
{
    if (sender == Subject1) {
        EditStack->setCurrentWidget(Subject_Checker);
        loadInto(Subject_Checker, kBetreffUser);
    }
    if (sender == From1) {
        EditStack->setCurrentWidget(From_Checker);
        loadInto(From_Checker, kAbsenderUser);
    }
    layOutPanels();
    PEdit->show();
    PEdit->raise();
    EditStack->currentWidget()->setFocus();
}

void TStammForm::OB_SpeichernClick(QObject* sender)
{
    if (sender == OB_Speichern) {
        // A save within the same tick of the file clock must still be screened with.
        m_engine->listsSaved();
        if (From_Checker->document()->isModified())
            saveFrom(From_Checker, kAbsenderUser);
        if (Subject_Checker->document()->isModified())
            saveFrom(Subject_Checker, kBetreffUser);
    }
    if (sender == OBAbbrechen) {
        // Cancelled edits must not be written by a later save of the other list.
        const std::pair<QPlainTextEdit*, QString> lists[] = {{Subject_Checker, kBetreffUser},
                                                             {From_Checker, kAbsenderUser}};
        for (const auto& [memo, file] : lists) {
            if (!memo->document()->isModified())
                continue;
            memo->document()->setModified(false);
            loadInto(memo, file);
        }
    }
    PEdit->hide();
}
