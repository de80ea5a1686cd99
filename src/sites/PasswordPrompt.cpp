#include "sites/PasswordPrompt.h"

TPasswordOutcome ResolvePassword(const QString& held, bool promptForPass, bool fromCommandLine,
                                 const std::function<std::optional<QString>()>& ask) {
    TPasswordOutcome outcome{held, false};
    if (held.isEmpty() && promptForPass && ask) {
        if (std::optional<QString> typed = ask()) outcome.Password = *typed;
    }
    outcome.Connect = fromCommandLine || !outcome.Password.isEmpty();
    return outcome;
}
