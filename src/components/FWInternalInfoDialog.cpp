#include "FWInternalInfoDialog.h"

#include "SettingsStore.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr int LineStep = 16;
constexpr int RecordGap = 25;
constexpr int FirstRecordTop = 30;

QFrame* makeLine(QWidget* parent, int top, int width)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(0, top, width, 2);
    return line;
}

QLabel* makeHeading(QWidget* parent, const QString& name, const QString& text, QRect geometry)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, Qt::gray);
    palette.setColor(QPalette::WindowText, Qt::yellow);
    label->setPalette(palette);
    return label;
}

} // namespace

TFWInternalInfoDialog::TFWInternalInfoDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(u"FWInternalInfoDialog"_s);
    setWindowTitle(u"Internal Infos"_s);
    setFixedSize(492, 320);
    QFont windowFont(u"Arial"_s);
    windowFont.setPixelSize(11);
    windowFont.setBold(true);
    setFont(windowFont);

    auto* top = new QWidget(this);
    top->setGeometry(0, 0, 492, 30);
    m_label1 = new QLabel(top);
    m_label1->setObjectName(u"Label1"_s);
    m_label1->setGeometry(5, 5, 482, 16);
    makeLine(this, 30, 492);

    m_scrollBox = new QScrollArea(this);
    m_scrollBox->setObjectName(u"ScrollBox"_s);
    m_scrollBox->setGeometry(0, 32, 492, 320 - 32 - 37);
    m_scrollBox->setFrameShape(QFrame::NoFrame);
    m_scrollBox->verticalScrollBar()->setSingleStep(LineStep);
    m_content = new QWidget;
    m_content->setObjectName(u"ScrollBoxContent"_s);
    m_label2 = makeHeading(m_content, u"Label2"_s, u"Component"_s, {5, 5, 150, 16});
    m_label3 = makeHeading(m_content, u"Label3"_s, u"Information"_s, {160, 5, 300, 16});
    m_content->resize(470, FirstRecordTop);
    m_scrollBox->setWidget(m_content);

    makeLine(this, 320 - 37, 492);
    auto* bottom = new QWidget(this);
    bottom->setGeometry(0, 320 - 35, 492, 35);
    m_buttonOK = new QPushButton(u"OK"_s, bottom);
    m_buttonOK->setObjectName(u"ButtonOK"_s);
    m_buttonOK->setGeometry(201, 5, 90, 30);
    m_buttonOK->setDefault(true);
    connect(m_buttonOK, &QPushButton::clicked, this, &QDialog::accept);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

QLabel* TFWInternalInfoDialog::addLabel(const QString& text, int left, int top, const QColor& color)
{
    auto* label = new QLabel(text, m_content);
    label->setTextFormat(Qt::PlainText);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    label->move(left, top);
    label->adjustSize();
    label->show();
    return label;
}

void TFWInternalInfoDialog::AssembleDisplay(const QString& key)
{
    if (key.isEmpty())
        return;
    SettingsStore store;
    if (!store.keyExists(key))
        return;
    QStringList components = store.subKeys(key);
    std::sort(components.begin(), components.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });

    int top = FirstRecordTop;
    int right = m_content->width();
    for (const QString& component : std::as_const(components)) {
        const QString componentKey = key + u'\\' + component;
        QLabel* name = addLabel(component, 5, top, palette().color(QPalette::WindowText));
        name->setObjectName(u"Component:"_s + component);
        name->setFixedSize(150, LineStep);
        const QStringList values = store.valueNames(componentKey);
        for (qsizetype i = 0; i < values.size(); ++i) {
            QLabel* valueName = addLabel(values.at(i), 160, top, Qt::gray);
            top += LineStep;
            QLabel* valueText =
                addLabel(store.readString(componentKey, values.at(i)).value_or(QString()), 180, top, Qt::darkBlue);
            right = std::max({right, valueName->geometry().right() + 5, valueText->geometry().right() + 5});
            if (i + 1 < values.size())
                top += LineStep;
        }
        top += RecordGap;
    }
    // The list scrolls once it is longer than the visible part of the box.
    m_content->resize(right, top);
}
