#pragma once

#include "BerichtUn.h"
#include "ExamineUn.h"
#include "SetupUn.h"
#include "StammUn.h"
#include "Variabel.h"

// The program's windows, created once in their fixed order and kept for the
// whole run: main window, examination window, settings window, log window.
class ProgramWindows
{
public:
    ProgramWindows();

    Variabel state;
    TStammForm StammForm;
    TExamineForm ExamineForm;
    TSetupForm SetupForm;
    TBerichtForm BerichtForm;
};
