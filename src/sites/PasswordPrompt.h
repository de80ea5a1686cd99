#pragma once

#include <QString>

#include <functional>
#include <optional>

// The password a connection is opened with, and whether it is opened at all.
struct TPasswordOutcome {
    QString Password;
    bool Connect = false;
};

// The session password rule shared by the site manager, the recent-connection menu, the
// URL window and the command line. held is the password the caller has; only when it is
// empty and promptForPass is on is ask called, returning the typed text or nothing for a
// cancel. The command line connects in any case; every other caller only with a password.
TPasswordOutcome ResolvePassword(const QString& held, bool promptForPass, bool fromCommandLine,
                                 const std::function<std::optional<QString>()>& ask);
