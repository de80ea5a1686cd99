#include "ToolContext.h"

#include "engine/EngineSettings.h"
#include "platform/ProgramFolder.h"
#include "settings/ApplyEngineSettings.h"
#include "settings/SettingsFile.h"

#include <QFileInfo>

QString LoadToolContext(const TToolOptions& options, TToolContext& context) {
    const QString settingsFile =
        options.SettingsFile.isEmpty() ? SettingsFilePath() : options.SettingsFile;
    if (!options.SettingsFile.isEmpty() && !QFileInfo(settingsFile).isFile())
        return QStringLiteral("no such settings file: ") + settingsFile;
    context.Settings = ReadSettings(settingsFile);
    if (options.SiteName.isEmpty()) return QString();

    const QString sitesFile = options.SitesFile.isEmpty() ? SitesFilePath() : options.SitesFile;
    if (!QFileInfo(sitesFile).isFile()) return QStringLiteral("no such site list: ") + sitesFile;
    TSiteList sites(sitesFile);
    sites.SetEMail(context.Settings.EMail);
    sites.LoadSites();
    QString found;
    for (const QString& name : sites.Sites())
        if (name.compare(options.SiteName, Qt::CaseInsensitive) == 0) found = name;
    if (found.isEmpty())
        return QStringLiteral("no site named \"%1\" in %2").arg(options.SiteName, sitesFile);
    context.Site = sites.LoadSite(found);
    if (context.Site.Anonymous) sites.MakeAnonymous(context.Site);
    if (context.Site.Host.isEmpty())
        return QStringLiteral("the site \"%1\" has no host").arg(found);
    context.HasSite = true;
    const TSettings& s = context.Settings;
    context.UseFirewall =
        context.Site.UseFirewall && s.FirewallEnabled && !s.FirewallHost.isEmpty();
    return QString();
}

bool ResolveToolUrl(const TToolContext& context, const QString& argument, TSplitURL& url) {
    if (!context.HasSite || argument.contains(QStringLiteral("://")))
        return SplitURL(argument, context.Settings.EMail, url);
    const TSite& site = context.Site;
    QString path = argument;
    if (!path.startsWith(QLatin1Char('/'))) {
        QString folder = site.HostFolder.isEmpty() ? QStringLiteral("/") : site.HostFolder;
        AppendCharIfMissing(folder, QLatin1Char('/'));
        path.prepend(folder);
    }
    url = TSplitURL();
    url.Host = site.Host;
    bool ok = false;
    const int port = site.Port.trimmed().toInt(&ok);
    url.Port = ok && port > 0 ? port : 21;
    url.User = site.User;
    url.Password = site.Password;
    url.Encryption = site.Encryption;
    if (url.User.isEmpty()) {
        url.User = QStringLiteral("anonymous");
        url.Password = context.Settings.EMail;
    }
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    url.FolderPath = path.left(slash + 1);
    url.FileName = path.mid(slash + 1);
    return true;
}

TSessionSecurity ToolSecurity(const TToolOptions& options, const TSplitURL& url) {
    TSessionSecurity security;
    // ftps:// is implicit FTPS whatever --tls says; --tls makes ftp:// explicit.
    security.Encryption = url.Encryption != TEncryption::None ? url.Encryption
                          : options.Tls                       ? TEncryption::ExplicitRequired
                                                              : TEncryption::None;
    for (const QString& fingerprint : options.TrustFingerprints)
        security.TrustedFingerprints.append(NormalizedFingerprint(fingerprint.toLatin1()));
    security.AcceptAnyCertificate = options.Insecure;
    return security;
}

QString UntrustedCertificateText(const TCertificateInfo& certificate) {
    if (certificate.Changed)
        return QStringLiteral("the certificate of %1 is not the one trusted before (%2; SHA-256 "
                              "now %3): refused")
            .arg(certificate.Host, certificate.Problem,
                 QString::fromLatin1(certificate.Fingerprint));
    return QStringLiteral("the certificate of %1 is not trusted (%2; subject %3, issuer %4, valid "
                          "%5 to %6); to trust it: --trust-fingerprint %7")
        .arg(certificate.Host, certificate.Problem, certificate.Subject, certificate.Issuer,
             certificate.ValidFrom, certificate.ValidUntil,
             QString::fromLatin1(certificate.Fingerprint));
}

void ApplyToolEngineSettings(const TToolContext& context, const TToolOptions& options) {
    const TEngineValues values = EngineValues(context.Settings);
    TEngineSettings& engine = EngineSettings();
    engine.QuickDisconnect = values.QuickDisconnect;
    engine.TimeOut = options.TimeOutSeconds >= 0
                         ? static_cast<uint32_t>(options.TimeOutSeconds) * 1000u
                         : values.TimeOut;
    engine.RetryCount = options.Retries >= 0 ? options.Retries : values.RetryCount;
    engine.RetryDelay =
        options.RetryDelaySeconds >= 0 ? options.RetryDelaySeconds : values.RetryDelay;
    // A command-line run ends long before a keep-alive could matter.
    engine.KeepAlive = false;
}
