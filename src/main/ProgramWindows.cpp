#include "ProgramWindows.h"

namespace {

SetupServices setupServices(TStammForm& stamm)
{
    SetupServices services;
    services.GetText = [&stamm](quint16 number) { return stamm.GetText(number); };
    services.Anzeige_Setzen = [&stamm] { stamm.Anzeige_Setzen(); };
    services.ShowContext = [&stamm](int context) { stamm.ShowContext(context); };
    services.ProgramLink = [&stamm](bool create, const QString& location) {
        return stamm.ProgramLink(create, location);
    };
    return services;
}

} // namespace

ProgramWindows::ProgramWindows() : StammForm(state), SetupForm(state, setupServices(StammForm))
{
    ExamineForm.ShowContext = [this](int context) { StammForm.ShowContext(context); };
    StammForm.setWindows(&ExamineForm, &SetupForm, &BerichtForm);
}
