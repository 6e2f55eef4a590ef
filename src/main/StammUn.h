#pragma once

#include <QMainWindow>

class TStammForm : public QMainWindow
{
    Q_OBJECT
public:
    explicit TStammForm(QWidget* parent = nullptr);
};
