#include "settings/SiteList.h"

#include "platform/ProfileFile.h"
#include "settings/SiteStoredForms.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

const QString SitesSection = QStringLiteral("Sites");
const QString LastSiteKey = QStringLiteral("LastSite");
const QString PredefinedSection = QStringLiteral("Site");

QString SiteKey(qsizetype number) {
    return QStringLiteral("Site") + QString::number(number);
}

void SortNames(QStringList& names) {
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
}

// A password that no line can hold in its scrambled form goes, as hexadecimal digits,
// to a key of its own; the usual key then holds an empty password, which older
// readers take as "ask for the password". A non-empty usual key wins, so a password
// changed later by such a reader is the one used.
bool WritePassword(TProfileFile& file, const QString& section, const QString& key,
                   const QString& password) {
    const QString hexKey = key + QStringLiteral("Hex");
    const std::optional<QByteArray> stored = StoredPassword(password);
    if (stored) {
        file.DeleteKey(section, hexKey);
        return file.WriteBytes(section, key, *stored);
    }
    return file.WriteBytes(section, key, QByteArray()) &&
           file.WriteString(section, hexKey, QString::fromLatin1(PasswordHexForm(password)));
}

QString ReadPassword(const TProfileFile& file, const QString& section, const QString& key,
                     const QString& def) {
    if (!file.ValueExists(section, key)) return def;
    const QByteArray stored = file.ReadBytes(section, key, QByteArray());
    const QString hexKey = key + QStringLiteral("Hex");
    if (stored.isEmpty() && file.ValueExists(section, hexKey))
        return PasswordFromHexForm(file.ReadBytes(section, hexKey, QByteArray()));
    return PasswordFromStored(stored);
}

// The leading digits, as the profile functions read a number. A number too long for
// them shows as stored, so that saving refuses it instead of a wrapped value going on.
QString PortText(const TProfileFile& file, const QString& section) {
    const QString key = QStringLiteral("Port");
    const QString fallback = QStringLiteral("21");
    static const QRegularExpression leadingNumber(QStringLiteral("^[+-]?[0-9]+"));
    const QRegularExpressionMatch match =
        leadingNumber.match(file.ReadString(section, key, fallback));
    if (!match.hasMatch()) return fallback;
    bool fits = false;
    const int number = match.captured().toInt(&fits);
    return fits ? QString::number(number) : match.captured();
}

QString UnableToWrite(const QString& fileName) {
    return QStringLiteral("Unable to write to %1").arg(fileName);
}

} // namespace

bool ValidSiteName(const QString& name) {
    if (name.isEmpty() || name.trimmed() != name || name.contains(QLatin1Char(']'))) return false;
    // A site of that name would share its keys with the list, and deleting it would
    // erase the list.
    if (name.compare(SitesSection, Qt::CaseInsensitive) == 0) return false;
    return std::none_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 32; });
}

QString SiteNameError(const QString& name) {
    if (ValidSiteName(name)) return QString();
    if (name.compare(SitesSection, Qt::CaseInsensitive) == 0)
        return QStringLiteral("The name \"%1\" is kept for the list of sites. "
                              "Please choose another site name.")
            .arg(name);
    return QStringLiteral("The site name \"%1\" cannot be stored.").arg(name);
}

std::optional<quint16> SitePort(const QString& text) {
    bool numeric = false;
    const int port = text.trimmed().toInt(&numeric);
    if (!numeric || port < 1 || port > 65535) return std::nullopt;
    return static_cast<quint16>(port);
}

QString SitePortError() {
    return QStringLiteral("The port must be a number from 1 to 65535.");
}

TSiteList::TSiteList(const QString& sitesFile, const QString& devFile)
    : FSitesFile(sitesFile), FDevFile(devFile) {}

TSiteList::~TSiteList() = default;

bool TSiteList::Fail(QString* errorText, const QString& text) const {
    if (errorText) *errorText = text;
    return false;
}

void TSiteList::LoadSites() {
    const TProfileFile file(FSitesFile);
    FSites.clear();
    // Every "Site<n>" key is read by name, whether or not "LastSite" is there and
    // wherever it stands in the section.
    const qsizetype pairs = file.ReadSectionValues(SitesSection).size();
    for (qsizetype i = 1; i <= pairs; ++i) {
        const QString name = file.ReadString(SitesSection, SiteKey(i), QString());
        // A name written by hand that no section can hold (or the list's own section)
        // is left out, so that nothing done to "it" touches another section.
        if (ValidSiteName(name) && !FSites.contains(name, Qt::CaseInsensitive)) FSites.append(name);
    }
    SortNames(FSites);
    // "!" names no site, so a missing key selects nothing.
    const QString last = file.ReadString(SitesSection, LastSiteKey, QStringLiteral("!"));
    FLastSite.clear();
    FLastSite = ListedName(last);
}

QString TSiteList::ListedName(const QString& name) const {
    for (const QString& listed : FSites) {
        if (listed.compare(name, Qt::CaseInsensitive) == 0) return listed;
    }
    return QString();
}

void TSiteList::MakeAnonymous(TSite& site) const {
    site.Anonymous = true;
    site.User = QStringLiteral("anonymous");
    site.Password = FEMail;
}

TSite TSiteList::LoadSite(const QString& name) const {
    TSite site;
    site.Name = name;
    if (name.isEmpty()) return site;
    const TProfileFile file(FSitesFile);
    site.Host = file.ReadString(name, QStringLiteral("Host"), QString());
    if (file.ReadBool(name, QStringLiteral("Anonymous"), false)) {
        MakeAnonymous(site);
    } else {
        site.User = file.ReadString(name, QStringLiteral("User"), QStringLiteral("anonymous"));
        // Without a stored password the e-mail address is the password itself; it is
        // not passed through the unscrambling meant for stored values.
        site.Password = ReadPassword(file, name, QStringLiteral("Password"), FEMail);
    }
    site.HostFolder = file.ReadString(name, QStringLiteral("HostFolder"), QString());
    site.Port = PortText(file, name);
    site.UseFirewall = file.ReadBool(name, QStringLiteral("Firewall"), true);
    const int encryption = file.ReadInteger(name, QStringLiteral("Encryption"), 0);
    // A number this program does not know (a later one's) still asks for encryption:
    // falling back to none would send the password in clear.
    site.Encryption = encryption >= 0 && encryption <= int(TEncryption::Implicit)
                          ? TEncryption(encryption)
                          : TEncryption::ExplicitRequired;
    site.NameCharset = file.ReadString(name, QStringLiteral("Charset"), QString());
    site.LocalFolder1 = file.ReadString(name, QStringLiteral("LocalFolder1"), QString());
    site.LocalFolder2 = file.ReadString(name, QStringLiteral("LocalFolder2"), QString());
    site.LocalFolder3 = file.ReadString(name, QStringLiteral("LocalFolder3"), QString());
    site.Notes = NotesFromStoredForm(file.ReadString(name, QStringLiteral("Comments"), QString()));
    return site;
}

bool TSiteList::WriteSiteNames(TProfileFile& file, int previousCount) const {
    for (qsizetype i = 0; i < FSites.size(); ++i) {
        if (!file.WriteExactString(SitesSection, SiteKey(i + 1), FSites[i])) return false;
    }
    // Numbers past the end would bring removed sites back.
    const qsizetype last =
        std::max<qsizetype>(previousCount, file.ReadSection(SitesSection).size());
    for (qsizetype number = FSites.size() + 1; number <= last; ++number)
        file.DeleteKey(SitesSection, SiteKey(number));
    return true;
}

bool TSiteList::SaveSite(const TSite& site, QString* errorText) {
    const QString& name = site.Name;
    if (!ValidSiteName(name)) return Fail(errorText, SiteNameError(name));
    // Checked before anything is written, so that a bad port never leaves half a site.
    const std::optional<quint16> port = SitePort(site.Port);
    if (!port) return Fail(errorText, SitePortError());
    const QStringList previousSites = FSites;
    if (!FSites.contains(name, Qt::CaseInsensitive)) {
        FSites.append(name);
        SortNames(FSites);
    }
    TProfileFile file(FSitesFile);
    file.SetOwnerOnly(true);
    bool ok = WriteSiteNames(file, static_cast<int>(previousSites.size()));
    ok = ok && file.WriteExactString(SitesSection, LastSiteKey, name);
    ok = ok && file.WriteExactString(name, QStringLiteral("Host"), site.Host);
    ok = ok && file.WriteBool(name, QStringLiteral("Anonymous"), site.Anonymous);
    ok = ok && file.WriteExactString(name, QStringLiteral("User"), site.User);
    ok = ok && WritePassword(file, name, QStringLiteral("Password"), site.Password);
    ok = ok && file.WriteExactString(name, QStringLiteral("HostFolder"), site.HostFolder);
    ok = ok && file.WriteInteger(name, QStringLiteral("Port"), *port);
    ok = ok && file.WriteBool(name, QStringLiteral("Firewall"), site.UseFirewall);
    ok = ok && file.WriteInteger(name, QStringLiteral("Encryption"), int(site.Encryption));
    // Written only when set, so that a site list without the setting stays as it was.
    if (!site.NameCharset.isEmpty())
        ok = ok && file.WriteExactString(name, QStringLiteral("Charset"), site.NameCharset);
    else
        file.DeleteKey(name, QStringLiteral("Charset"));
    ok = ok && file.WriteExactString(name, QStringLiteral("LocalFolder1"), site.LocalFolder1);
    ok = ok && file.WriteExactString(name, QStringLiteral("LocalFolder2"), site.LocalFolder2);
    ok = ok && file.WriteExactString(name, QStringLiteral("LocalFolder3"), site.LocalFolder3);
    // Written as it is: no notes store as "", which other readers read as empty.
    ok = ok && file.WriteString(name, QStringLiteral("Comments"), NotesToStoredForm(site.Notes));
    ok = ok && file.Flush();
    if (!ok) {
        FSites = previousSites;
        return Fail(errorText, UnableToWrite(FSitesFile));
    }
    FLastSite = ListedName(name);
    return true;
}

bool TSiteList::DeleteSite(const QString& name, QString* errorText) {
    const QStringList previousSites = FSites;
    FSites.removeIf(
        [&](const QString& listed) { return listed.compare(name, Qt::CaseInsensitive) == 0; });
    TProfileFile file(FSitesFile);
    file.SetOwnerOnly(true);
    if (ValidSiteName(name)) file.EraseSection(name);
    // Only the numbering changes. "LastSite" stays, even naming the removed site: a
    // "Sites" section without it loses its last site in older readers.
    if (!WriteSiteNames(file, static_cast<int>(previousSites.size())) || !file.Flush()) {
        FSites = previousSites;
        return Fail(errorText, UnableToWrite(FSitesFile));
    }
    if (FLastSite.compare(name, Qt::CaseInsensitive) == 0) FLastSite.clear();
    return true;
}

TSite TSiteList::NewSite(const QString& defaultDir) {
    TSite site;
    site.User.clear();
    site.LocalFolder1 = defaultDir;
    return site;
}

bool TSiteList::HasPredefinedSite() const {
    return !FDevFile.isEmpty() && QFileInfo(FDevFile).isFile();
}

TPredefinedSite TSiteList::LoadPredefinedSite() const {
    TPredefinedSite site;
    if (!HasPredefinedSite()) return site;
    const TProfileFile file(FDevFile);
    site.Name = file.ReadString(PredefinedSection, QStringLiteral("N"), QString());
    site.Host = file.ReadString(PredefinedSection, QStringLiteral("H"), QString());
    site.Anonymous = file.ReadBool(PredefinedSection, QStringLiteral("A"), false);
    if (site.Anonymous) {
        site.User = QStringLiteral("anonymous");
        site.Password = FEMail;
    } else {
        site.User = file.ReadString(PredefinedSection, QStringLiteral("I"), QString());
        site.Password = ReadPassword(file, PredefinedSection, QStringLiteral("P"), QString());
    }
    return site;
}

bool TSiteList::SavePredefinedSite(const TPredefinedSite& site, QString* errorText) {
    TProfileFile file(FDevFile);
    file.SetOwnerOnly(true);
    bool ok = file.WriteExactString(PredefinedSection, QStringLiteral("N"), site.Name);
    ok = ok && file.WriteExactString(PredefinedSection, QStringLiteral("H"), site.Host);
    ok = ok && file.WriteBool(PredefinedSection, QStringLiteral("A"), site.Anonymous);
    if (!site.Anonymous) {
        ok = ok && file.WriteExactString(PredefinedSection, QStringLiteral("I"), site.User);
        ok = ok && WritePassword(file, PredefinedSection, QStringLiteral("P"), site.Password);
    }
    ok = ok && file.Flush();
    return ok || Fail(errorText, UnableToWrite(FDevFile));
}

TSite TSiteList::SiteFromPredefined(const TPredefinedSite& predefined,
                                    const QString& defaultDir) const {
    TSite site = NewSite(defaultDir);
    site.Name = predefined.Name;
    site.Host = predefined.Host;
    site.Anonymous = predefined.Anonymous;
    site.User = predefined.User;
    site.Password = predefined.Password;
    if (site.Anonymous) MakeAnonymous(site);
    return site;
}
