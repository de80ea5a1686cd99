#pragma once

class TFTPComponent;
struct TSettings;

// The options' firewall (type, host, port, user, password) on a session.
void SetFirewallFields(TFTPComponent& session, const TSettings& settings);

// Queues the log-in: through the firewall when the options enable it and the site uses
// it, else directly.
void QueueLogIn(TFTPComponent& session, const TSettings& settings, bool siteUsesFirewall);
