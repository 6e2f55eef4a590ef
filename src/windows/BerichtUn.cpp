#include "BerichtUn.h"

#include "UiLanguage.h"
#include "WindowAccessibility.h"

#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TBerichtForm::TBerichtForm(QWidget* parent) : QWidget(parent, Qt::Window)
{
    WindowAccessibility::install();
    setObjectName(u"BerichtForm"_s);
    setWindowTitle(u"BerichtForm"_s);
    setAccessibleName(byLanguage(u"Protokoll"_s, u"Log"_s));
    QFont f(u"Times New Roman"_s);
    f.setPixelSize(11);
    setFont(f);
    move(264, 127);
    resize(555, 326);

    Bericht = new QPlainTextEdit(this);
    Bericht->setObjectName(u"Bericht"_s);
    Bericht->setAccessibleName(byLanguage(u"Protokoll"_s, u"Log"_s));
    Bericht->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Bericht->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Bericht);
}

void TBerichtForm::addLine(const QString& line)
{
    Bericht->appendPlainText(line);
}

QStringList TBerichtForm::lines() const
{
    const QString text = Bericht->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(u'\n');
}
