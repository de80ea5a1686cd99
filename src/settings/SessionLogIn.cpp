#include "settings/SessionLogIn.h"

#include "engine/FtpComponent.h"
#include "settings/Settings.h"

void SetFirewallFields(TFTPComponent& session, const TSettings& settings) {
    session.FirewallType = static_cast<uint8_t>(settings.FirewallType);
    session.FirewallHost = settings.FirewallHost;
    session.FirewallPort = settings.FirewallPort;
    session.FirewallUser = settings.FirewallUser.toUtf8();
    session.FirewallPassword = settings.FirewallPassword.toUtf8();
}

void QueueLogIn(TFTPComponent& session, const TSettings& settings, bool siteUsesFirewall) {
    if (settings.FirewallEnabled && siteUsesFirewall) {
        SetFirewallFields(session, settings);
        session.FirewallLogin();
    } else {
        session.Login();
    }
}
