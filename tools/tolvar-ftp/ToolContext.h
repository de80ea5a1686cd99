#pragma once

#include "ToolOptions.h"

#include "engine/Tls.h"
#include "listing/FtpUtils.h"
#include "settings/Settings.h"
#include "settings/SiteList.h"

#include <QString>

// What a command line connects with: the user's settings and, with --site, one of the
// sites they keep.
struct TToolContext {
    TSettings Settings;
    bool HasSite = false;
    TSite Site;
    // The settings' firewall, used when the site asks for it.
    bool UseFirewall = false;
};

// Reads the settings and the named site. Empty on success, else what is wrong.
QString LoadToolContext(const TToolOptions& options, TToolContext& context);

// Splits a URL argument. With a site, an argument without "://" is a path on the site's
// server (relative paths start in the site's host folder) and the log-in is the site's.
bool ResolveToolUrl(const TToolContext& context, const QString& argument, TSplitURL& url);

// How the session encrypts and which certificates it takes beyond those the system
// trusts.
TSessionSecurity ToolSecurity(const TToolOptions& options, const TSplitURL& url);

// Why the log-in stopped at the certificate, and how to get past it.
QString UntrustedCertificateText(const TCertificateInfo& certificate);

// The engine's values: from the settings, then from the command line's options.
void ApplyToolEngineSettings(const TToolContext& context, const TToolOptions& options);
