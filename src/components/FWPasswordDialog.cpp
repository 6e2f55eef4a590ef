#include "FWPasswordDialog.h"

#include "Dialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>

using namespace Qt::StringLiterals;

namespace {

QFont pixelFont(const QString& family, int pixels, bool bold = false, bool underline = false)
{
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setUnderline(underline);
    return font;
}

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption, int x, int y, const QColor& color,
                  const QFont& font)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    label->move(x, y);
    label->adjustSize();
    return label;
}

QLineEdit* makeEdit(QWidget* parent, const QString& name, const QString& accessible, QRect geometry, bool password)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setAccessibleName(accessible);
    edit->setGeometry(geometry);
    if (password)
        edit->setEchoMode(QLineEdit::Password);
    return edit;
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption, QRect geometry)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAccessibleName(caption);
    button->setGeometry(geometry);
    return button;
}

} // namespace

TFWPasswordDialog::TFWPasswordDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(u"FWPasswordDialog"_s);
    setWindowTitle(u"TFW-Password"_s);
    setFixedSize(266, 149);
    setFont(pixelFont(u"MS Sans Serif"_s, 11));

    m_panels = new QStackedWidget(this);
    m_panels->setGeometry(0, 0, 266, 149);

    const QFont labelFont = pixelFont(u"Arial"_s, 12, false, true);
    m_query = new QWidget(m_panels);
    m_query->setObjectName(u"PAbfrage"_s);
    m_name1 = makeLabel(m_query, u"name1"_s, u"Enter Name:"_s, 16, 0, Qt::blue, labelFont);
    m_name2 = makeEdit(m_query, u"name2"_s, u"User name"_s, {16, 16, 201, 22}, false);
    m_name2->setFocusPolicy(Qt::ClickFocus);
    m_password1 = makeLabel(m_query, u"password1"_s, u"Enter Password:"_s, 16, 40, Qt::blue, labelFont);
    m_get1 = makeEdit(m_query, u"Get1"_s, u"Password"_s, {16, 56, 201, 22}, true);
    m_button2 = makeButton(m_query, u"PwButton2"_s, u"Bestätigen"_s, {24, 88, 105, 23});
    m_button2->setFont(pixelFont(u"Arial"_s, 13));
    m_button1 = makeButton(m_query, u"PwButton1"_s, u"Abbrechen"_s, {128, 88, 97, 23});
    m_name1->setBuddy(m_name2);
    m_password1->setBuddy(m_get1);

    m_entry = new QWidget(m_panels);
    m_entry->setObjectName(u"PEingabe"_s);
    m_retype = makeLabel(m_entry, u"Lretype"_s, u"Set Password and retype:"_s, 16, 5, QColor(0x80, 0, 0),
                         pixelFont(u"Arial"_s, 12, true, true));
    m_set1 = makeEdit(m_entry, u"Set1"_s, u"New password"_s, {16, 21, 201, 22}, true);
    m_set2 = makeEdit(m_entry, u"Set2"_s, u"New password again"_s, {16, 46, 201, 22}, true);
    m_button4 = makeButton(m_entry, u"PwButton4"_s, u"Bestätigen"_s, {16, 80, 105, 23});
    m_button3 = makeButton(m_entry, u"PwButton3"_s, u"Abbrechen"_s, {128, 80, 97, 23});
    m_retype->setBuddy(m_set1);

    m_panels->addWidget(m_query);
    m_panels->addWidget(m_entry);

    connect(m_button2, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_button1, &QPushButton::clicked, this, &TFWPasswordDialog::PwButton1Click);
    connect(m_button4, &QPushButton::clicked, this, &TFWPasswordDialog::PwButton4Click);
    connect(m_button3, &QPushButton::clicked, this, &TFWPasswordDialog::PwButton3Click);

    showQueryPanel();
}

void TFWPasswordDialog::showQueryPanel()
{
    m_panels->setCurrentWidget(m_query);
    m_button4->setDefault(false);
    m_button2->setDefault(true);
    m_button2->setFocus();
}

void TFWPasswordDialog::showEntryPanel()
{
    m_panels->setCurrentWidget(m_entry);
    m_button2->setDefault(false);
    m_button4->setDefault(true);
    m_set1->setFocus();
}

bool TFWPasswordDialog::isEntryPanelShown() const
{
    return m_panels->currentWidget() == m_entry;
}

void TFWPasswordDialog::reject()
{
    // Without this, Escape would hand back a typed password the cancel button empties.
    if (isEntryPanelShown())
        PwButton3Click();
    else
        PwButton1Click();
}

void TFWPasswordDialog::PwButton1Click()
{
    m_get1->clear();
    done(QDialog::Rejected);
}

void TFWPasswordDialog::PwButton3Click()
{
    m_set2->clear();
    done(QDialog::Rejected);
}

void TFWPasswordDialog::PwButton4Click()
{
    if (m_set1->text() != m_set2->text()) {
        m_set2->clear();
        Dialogs::message(Dialogs::Kind::Error, u"The retype password is wrong ! Try once more !"_s);
        return;
    }
    accept();
}
