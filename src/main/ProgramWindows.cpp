#include "ProgramWindows.h"

#include "PasswordKeeper.h"

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
    services.PasswordsChanged = [&stamm](const Variabel& before) { stamm.Passwords().settingsChanged(before); };
    services.FetchPasswords = [&stamm] {
        for (int n = 1; n <= Variabel::SlotCount; ++n) {
            if (!stamm.V.Konto[n].isEmpty())
                stamm.Passwords().fetch(n);
        }
    };
    return services;
}

} // namespace

ProgramWindows::ProgramWindows(Others others) : StammForm(state)
{
    if (others == Others::WithMainWindow)
        createOthers();
    else
        StammForm.setWindowFactory([this] { createOthers(); });
}

void ProgramWindows::createOthers()
{
    ExamineForm = std::make_unique<TExamineForm>();
    ExamineForm->ShowContext = [this](int context) { StammForm.ShowContext(context); };
    SetupForm = std::make_unique<TSetupForm>(state, setupServices(StammForm));
    BerichtForm = std::make_unique<TBerichtForm>();
    StammForm.setWindows(ExamineForm.get(), SetupForm.get(), BerichtForm.get());
}
