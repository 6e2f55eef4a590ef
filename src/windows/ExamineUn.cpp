#include "ExamineUn.h"

#include "AttachmentRating.h"
#include "CommandGuard.h"
#include "StringGrid.h"
#include "UiLanguage.h"
#include "WidgetSetup.h"
#include "WindowAccessibility.h"

#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

constexpr int kColumns = 7;
constexpr int kColumnWidths[kColumns] = {10, 60, 200, 70, 200, 50, 200};

void emptyRow(TStringGrid* grid, int row)
{
    for (int c = 1; c < kColumns; ++c)
        grid->setCells(c, row, QString());
}

} // namespace

TExamineForm::TExamineForm(QWidget* parent) : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    WindowAccessibility::install();
    setObjectName(u"ExamineForm"_s);
    setAccessibleName(byLanguage(u"Prüfergebnis"_s, u"Examination result"_s));
    setWindowTitle(u"ExamineForm"_s);
    setFont(timesFont(11));
    setFixedSize(456, 323);

    auto heading = [this](const QString& name, const QString& caption, int x, int y) {
        auto* label = named(new QLabel(caption, this), name, caption);
        label->setFont(timesFont(12));
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, QColor(0, 0, 128));
        label->setPalette(p);
        label->move(x, y);
        return label;
    };
    // Sender and subject come from the message: never let a label read them as markup.
    auto field = [this](const QString& name, const QString& accessible, int y) {
        auto* label = named(new QLabel(this), name, accessible);
        label->setTextFormat(Qt::PlainText);
        label->setGeometry(88, y, 456 - 88 - 7, 16);
        return label;
    };
    Label1 = heading(u"Label1"_s, u"From:"_s, 8, 8);
    LFrom = field(u"LFrom"_s, byLanguage(u"Absender"_s, u"Sender"_s), 8);
    Label3 = heading(u"Label3"_s, u"Subject:"_s, 8, 32);
    LSubject = field(u"LSubject"_s, byLanguage(u"Betreff"_s, u"Subject"_s), 32);
    Label7 = heading(u"Label7"_s, u"Body"_s, 8, 64);

    REBody = named(new QPlainTextEdit(this), u"REBody"_s, byLanguage(u"Nachrichtentext"_s, u"Message text"_s));
    REBody->setGeometry(88, 64, 361, 121);
    REBody->setReadOnly(true);
    REBody->setLineWrapMode(QPlainTextEdit::NoWrap);
    REBody->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    REBody->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    Label8 = heading(u"Label8"_s, byLanguage(u"Attachements:"_s, u"Attachments:"_s), 8, 200);

    Tabelle = named(new TStringGrid(this), u"Tabelle"_s, byLanguage(u"Anhänge"_s, u"Attachments"_s));
    Tabelle->setGeometry(88, 192, 361, 89);
    Tabelle->setFixedColor(QColor(0xE1, 0xDF, 0xFF));
    Tabelle->setShowGrid(false);
    Tabelle->verticalHeader()->setDefaultSectionSize(16);
    // A long name must not hide its real extension behind an ellipsis.
    Tabelle->setTextElideMode(Qt::ElideMiddle);

    LBAttaches = named(new QListWidget(this), u"LBAttaches"_s, byLanguage(u"Anhangdateien"_s, u"Attachment files"_s));
    LBAttaches->setGeometry(104, 112, 329, 57);
    LBAttaches->hide();

    auto button = [this](const QString& name, const QString& caption, int x, int w) {
        auto* b = named(new QPushButton(caption, this), name, caption);
        b->setFont(timesFont(11, true));
        b->setGeometry(x, 296, w, 23);
        return b;
    };
    OBSchliessen = button(u"OBSchliessen"_s, byLanguage(u"Schliessen"_s, u"Close"_s), 24, 113);
    OBVorschlaege = button(u"OBVorschlaege"_s, byLanguage(u"Vorschläge"_s, u"Advice"_s), 168, 113);
    OBHilfe = button(u"OBHilfe"_s, byLanguage(u"Hilfe"_s, u"Help"_s), 312, 121);

    for (QPushButton* b : {OBSchliessen, OBVorschlaege, OBHilfe})
        CommandGuard::connect(b, &QPushButton::clicked, this, [this, b] { OBHilfeClick(b); });

    Einrichten();
}

// The headings take the size of their text when the window is shown:
// measuring them while the program starts would load their font for a window
// that most runs never open.
void TExamineForm::showEvent(QShowEvent* event)
{
    for (QLabel* heading : {Label1, Label3, Label7, Label8})
        heading->adjustSize();
    QWidget::showEvent(event);
}

void TExamineForm::Einrichten()
{
    Tabelle->setColCount(kColumns);
    Tabelle->setRowCount(2);
    m_nextRow = 1;
    for (int c = 0; c < kColumns; ++c)
        Tabelle->setColWidths(c, kColumnWidths[c]);
    const QString headers[kColumns] = {
        QString(),
        u"eMail"_s,
        u"Name"_s,
        byLanguage(u"Endung"_s, u"Extension"_s),
        byLanguage(u"Art"_s, u"Kind"_s),
        byLanguage(u"Stufe"_s, u"Level"_s),
        byLanguage(u"Vorschlag"_s, u"Advice"_s),
    };
    for (int c = 1; c < kColumns; ++c)
        Tabelle->setCells(c, 0, headers[c]);
    emptyRow(Tabelle, 1);
}

void TExamineForm::Tabelle_Auswerten(int Zeile)
{
    // Read afresh for every pass, so an edited rating file counts at once.
    const TRatingFile ratingFile(TRatingFile::defaultFileName());
    for (int i = 0; i < LBAttaches->count(); ++i) {
        const int r = m_nextRow;
        // Cells exist only within the row count: grow before filling.
        if (Tabelle->RowCount() <= r)
            Tabelle->setRowCount(r + 1);
        emptyRow(Tabelle, r);
        const QString name = LBAttaches->item(i)->text();
        const TAttachmentRating rating = ratingFile.rate(name);
        Tabelle->setCells(1, r, QString::number(Zeile));
        Tabelle->setCells(2, r, name);
        Tabelle->setCells(3, r, rating.Endung);
        Tabelle->setCells(4, r, rating.Art);
        Tabelle->setCells(5, r, QString::number(rating.Stufe));
        Tabelle->setCells(6, r, rating.Vorschlag);
        ++m_nextRow;
        Tabelle->setRowCount(m_nextRow);
    }
}

void TExamineForm::setMessage(const QString& from, const QString& subject, const QStringList& body,
                              const QStringList& attachments)
{
    LFrom->setText(from);
    LSubject->setText(subject);
    // Plain text only: a body is never interpreted as HTML or rich text.
    REBody->setPlainText(body.join(u'\n'));
    LBAttaches->clear();
    LBAttaches->addItems(attachments);
}

void TExamineForm::OBHilfeClick(QObject* Sender)
{
    if (Sender == OBSchliessen) {
        close();
        return;
    }
    if (ShowContext)
        ShowContext(3);
}
