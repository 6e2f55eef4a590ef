#pragma once

#include "BerichtUn.h"
#include "ExamineUn.h"
#include "SetupUn.h"
#include "StammUn.h"
#include "Variabel.h"

#include <memory>

// The program's windows, created once in their fixed order and kept for the
// whole run: main window, examination window, settings window, log window.
class ProgramWindows
{
public:
    // When the other three are built: with the main window, or once its first
    // frame is painted (sooner, should it need one of them before), so that
    // the program's window does not wait for windows nobody sees yet.
    enum class Others
    {
        WithMainWindow,
        AfterFirstFrame
    };
    explicit ProgramWindows(Others others = Others::WithMainWindow);

    Variabel state;
    TStammForm StammForm;
    std::unique_ptr<TExamineForm> ExamineForm;
    std::unique_ptr<TSetupForm> SetupForm;
    std::unique_ptr<TBerichtForm> BerichtForm;

private:
    void createOthers();
};
