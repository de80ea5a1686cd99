#pragma once

#include "engine/Tls.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class TProfileFile;

// One site of the site list, as the site manager's fields hold it.
struct TSite {
    QString Name; // the section name
    QString Host;
    bool Anonymous = false;
    QString User = QStringLiteral("anonymous");
    QString Password;
    QString HostFolder;
    QString Port = QStringLiteral("21"); // as typed; must be a number to be saved
    bool UseFirewall = true;
    // Key "Encryption", the enumeration's number; readers before it ignore the key.
    TEncryption Encryption = TEncryption::None;
    // Key "Charset": the character set of the server's names when they are not UTF-8
    // (Shift_JIS, GBK, windows-1251, ...); empty: Latin-1.
    QString NameCharset;
    QString LocalFolder1;
    QString LocalFolder2;
    QString LocalFolder3;
    QStringList Notes;
};

// The predefined site of "dev.ini".
struct TPredefinedSite {
    QString Name; // "N", the tab caption
    QString Host; // "H"
    bool Anonymous = false;
    QString User;     // "I"
    QString Password; // "P"
};

// The site list file ("Sites.ini") and the predefined-site file ("dev.ini"): everything
// the site manager does with them that needs no window.
//
// Layout: section "Sites" holds "Site1" .. "SiteN" (the names, sorted without regard
// to case) and "LastSite" (the site last saved); every site has a section of its own
// name. Every change is written to the file at once.
class TSiteList {
public:
    TSiteList(const QString& sitesFile, const QString& devFile = QString());
    ~TSiteList();

    // The anonymous password: shown for anonymous sites and used where a site stores
    // no password. The settings' "EMail".
    void SetEMail(const QString& email) { FEMail = email; }

    // Reads the names and the last site again from the file.
    void LoadSites();
    const QStringList& Sites() const { return FSites; }
    // The listed spelling of the name (sections are found without regard to case), or
    // empty when the name is not listed.
    QString ListedName(const QString& name) const;
    // The "LastSite" value when it names a listed site, else empty.
    QString LastSite() const { return FLastSite; }

    // The site's values; a name without a section gives the defaults of missing keys.
    TSite LoadSite(const QString& name) const;
    // Adds the site to the list when new, rewrites the "Sites" section with it as last
    // site, and writes its section. False (nothing written) with a message in errorText
    // when the name or the port cannot be stored (SiteNameError, SitePort), or the file
    // cannot be written. A file made here is readable by its owner only.
    bool SaveSite(const TSite& site, QString* errorText = nullptr);
    // Removes the site's section and renumbers the others.
    bool DeleteSite(const QString& name, QString* errorText = nullptr);

    // The fields of a new site: port 21, first local folder the settings' DefaultDir.
    static TSite NewSite(const QString& defaultDir);
    // An anonymous site logs in as "anonymous" with the e-mail address.
    void MakeAnonymous(TSite& site) const;

    bool HasPredefinedSite() const;
    TPredefinedSite LoadPredefinedSite() const;
    bool SavePredefinedSite(const TPredefinedSite& site, QString* errorText = nullptr);
    // The predefined site as the fields of an ordinary site.
    TSite SiteFromPredefined(const TPredefinedSite& predefined, const QString& defaultDir) const;

private:
    bool WriteSiteNames(TProfileFile& file, int previousCount) const;
    bool Fail(QString* errorText, const QString& text) const;

    QString FSitesFile;
    QString FDevFile;
    QString FEMail;
    QStringList FSites;
    QString FLastSite;
};

// Whether the text can name a site: not empty, without "]" or control characters,
// without blanks at its ends (the file drops them), and not "Sites", the section of
// the list itself.
bool ValidSiteName(const QString& name);
// Why the name cannot be stored; empty when it can.
QString SiteNameError(const QString& name);

// The port typed for a site: a number from 1 to 65535, blanks around it allowed.
// Nothing for any other text, so that a bad port is refused rather than wrapped.
std::optional<quint16> SitePort(const QString& text);
QString SitePortError();
