#include "settings/SettingsFile.h"

#include "platform/ProfileFile.h"

#include <variant>

namespace {

using TMember = std::variant<bool TSettings::*, int TSettings::*, QString TSettings::*>;

struct TField {
    const char* Section;
    const char* Key;
    TMember Member;
    int Highest = -1;     // integers with a fixed set of choices: 0..Highest
    bool ReadBack = true; // false: written only
};

// Reading order; writing follows it too. The case conversion is handled apart (it
// depends on an older key), and comes first in "Conversions".
const TField GeneralToAdvanced[] = {
    {"General", "PinTransferWindow", &TSettings::PinTransferWindow},
    {"General", "EMail", &TSettings::EMail},
    {"General", "Viewer", &TSettings::Viewer},
    {"General", "LogFile", &TSettings::LogFile},
    {"General", "LogToFile", &TSettings::LogToFile},
    {"General", "ShowToolTips", &TSettings::ShowToolTips},
    {"General", "DefaultDir", &TSettings::DefaultDir},
    {"Advanced", "NoXferOlder", &TSettings::NoXferOlder},
    {"Advanced", "ASCIIOnView", &TSettings::ASCIIOnView},
    {"Advanced", "PreserveTimeStamp", &TSettings::PreserveTimeStamp},
    {"Advanced", "ConfirmOverwrites", &TSettings::ConfirmOverwrites},
    {"Advanced", "ConfirmRestarts", &TSettings::ConfirmRestarts, -1, false},
    {"Advanced", "ListHidden", &TSettings::ListHidden},
    {"Advanced", "TryToResume", &TSettings::TryToResume, 2},
    {"Advanced", "LocalDblClk", &TSettings::LocalDblClk, 3},
    {"Advanced", "HostDblClk", &TSettings::HostDblClk, 3},
    {"Connection", "ShowManager", &TSettings::ShowManager},
    {"Connection", "PromptForPass", &TSettings::PromptForPass},
    {"Connection", "Ping", &TSettings::KeepAlive},
    {"Connection", "UsePASV", &TSettings::UsePASV},
    {"Connection", "QuickDisconnect", &TSettings::QuickDisconnect},
    {"Connection", "RetryDelay", &TSettings::RetryDelay},
    {"Connection", "Retries", &TSettings::Retries},
    {"Connection", "InfiniteRetry", &TSettings::InfiniteRetry},
    {"Connection", "Timeout", &TSettings::Timeout},
    {"Connection", "TransferMode", &TSettings::TransferMode, 4},
    {"Connection", "SingleConnectionsOnly", &TSettings::SingleConnectionsOnly},
    {"Connection", "SimultaneousTransfers", &TSettings::SimultaneousTransfers, MaxSimultaneous},
};

const TField ConversionsToFirewall[] = {
    {"Conversions", "ConversionUseShortName", &TSettings::ConversionUseShortName},
    {"Conversions", "ConversionSpaces", &TSettings::ConversionSpaces, 2},
    {"Conversions", "ConversionChar", &TSettings::ConversionChar},
    {"Firewall", "Enabled", &TSettings::FirewallEnabled},
    {"Firewall", "Type", &TSettings::FirewallType, 3},
    {"Firewall", "Host", &TSettings::FirewallHost},
    {"Firewall", "Port", &TSettings::FirewallPort},
    {"Firewall", "User", &TSettings::FirewallUser},
    {"Firewall", "Password", &TSettings::FirewallPassword},
};

const QString Conversions = QStringLiteral("Conversions");
const QString FileTypes = QStringLiteral("FileTypes");
const QString URLs = QStringLiteral("URLs");
const QString Sounds = QStringLiteral("Sounds");

int Chosen(int value, int highest, int def) {
    return value >= 0 && value <= highest ? value : def;
}

void ReadField(const TProfileFile& file, const TField& field, TSettings& settings,
               const TSettings& defaults) {
    const QString section = QLatin1String(field.Section);
    const QString key = QLatin1String(field.Key);
    if (auto flag = std::get_if<bool TSettings::*>(&field.Member)) {
        settings.*(*flag) = file.ReadBool(section, key, defaults.*(*flag));
    } else if (auto number = std::get_if<int TSettings::*>(&field.Member)) {
        const int def = defaults.*(*number);
        const int value = file.ReadInteger(section, key, def);
        settings.*(*number) = field.Highest >= 0 ? Chosen(value, field.Highest, def) : value;
    } else if (auto text = std::get_if<QString TSettings::*>(&field.Member)) {
        settings.*(*text) = file.ReadString(section, key, defaults.*(*text));
    }
}

bool WriteField(TProfileFile& file, const TField& field, const TSettings& settings) {
    const QString section = QLatin1String(field.Section);
    const QString key = QLatin1String(field.Key);
    if (auto flag = std::get_if<bool TSettings::*>(&field.Member))
        return file.WriteBool(section, key, settings.*(*flag));
    if (auto number = std::get_if<int TSettings::*>(&field.Member))
        return file.WriteInteger(section, key, settings.*(*number));
    // Quoted when needed, so that texts with blanks at their ends read back whole.
    return file.WriteExactString(section, key,
                                 settings.*std::get<QString TSettings::*>(field.Member));
}

// Entries under prefix + 0, 1, ... for as many keys as the section holds.
QStringList ReadIndexedList(const TProfileFile& file, const QString& section,
                            const QString& prefix) {
    QStringList values;
    const qsizetype count = file.ReadSectionValues(section).size();
    for (qsizetype i = 0; i < count; ++i) {
        const QString value = file.ReadString(section, prefix + QString::number(i), QString());
        if (!value.isEmpty()) values.append(value);
    }
    return values;
}

bool WriteIndexedList(TProfileFile& file, const QString& section, const QString& prefix,
                      const QStringList& values) {
    file.EraseSection(section);
    int index = 0;
    for (const QString& value : values) {
        // An entry with a line break cannot be one line of the file; it is dropped
        // rather than failing the whole write.
        if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')) ||
            value.contains(QChar(0)))
            continue;
        if (!file.WriteExactString(section, prefix + QString::number(index), value)) return false;
        ++index;
    }
    return true;
}

void ReadCaseConversion(TProfileFile& file, TSettings& settings) {
    const QString advanced = QStringLiteral("Advanced");
    const QString older = QStringLiteral("ConfirmLowerCase");
    const int def = file.ReadBool(advanced, older, false) ? 1 : 0;
    if (file.ValueExists(advanced, older)) {
        file.DeleteKey(advanced, older);
        // A file we cannot write keeps the older key; the value read is the same.
        file.Flush();
    }
    settings.ConversionCase =
        Chosen(file.ReadInteger(Conversions, QStringLiteral("ConversionCase"), def), 2, def);
}

} // namespace

TSettings ReadSettings(const QString& fileName) {
    TProfileFile file(fileName);
    const TSettings defaults = DefaultSettings();
    TSettings settings = defaults;
    for (const TField& field : GeneralToAdvanced) {
        if (field.ReadBack) ReadField(file, field, settings, defaults);
    }
    if (settings.EMail.isEmpty()) settings.EMail = GuestEMail();
    // Each start asks before resuming again, whatever was stored.
    settings.ConfirmRestarts = true;

    ReadCaseConversion(file, settings);
    for (const TField& field : ConversionsToFirewall)
        ReadField(file, field, settings, defaults);

    const QStringList soundKeys = SoundKeys();
    for (int i = 0; i < SoundCount; ++i)
        settings.Sounds[i] = file.ReadString(Sounds, soundKeys[i], QString());

    if (file.ReadSectionValues(FileTypes).isEmpty()) {
        settings.ASCIIExtensions = DefaultASCIIExtensions();
    } else {
        settings.ASCIIExtensions.clear();
        for (const QString& extension : ReadIndexedList(file, FileTypes, QStringLiteral("Ext")))
            AddASCIIExtension(settings.ASCIIExtensions, extension);
    }

    for (const QString& url : ReadIndexedList(file, URLs, QStringLiteral("URL"))) {
        if (!settings.URLHistory.contains(url)) settings.URLHistory.append(url);
    }
    return settings;
}

bool WriteSettings(TSettings& settings, const QString& fileName, QString* errorText) {
    while (settings.URLHistory.size() > MaxURLHistory)
        settings.URLHistory.removeLast();
    while (settings.Sounds.size() < SoundCount)
        settings.Sounds.append(QString());

    TProfileFile file(fileName);
    // It holds the firewall password.
    file.SetOwnerOnly(true);
    bool ok = true;
    for (const TField& field : GeneralToAdvanced)
        ok = ok && WriteField(file, field, settings);
    ok = ok &&
         file.WriteInteger(Conversions, QStringLiteral("ConversionCase"), settings.ConversionCase);
    for (const TField& field : ConversionsToFirewall)
        ok = ok && WriteField(file, field, settings);
    const QStringList soundKeys = SoundKeys();
    for (int i = 0; i < SoundCount && ok; ++i)
        ok = file.WriteExactString(Sounds, soundKeys[i], settings.Sounds[i]);
    ok = ok && WriteIndexedList(file, FileTypes, QStringLiteral("Ext"), settings.ASCIIExtensions);
    ok = ok && WriteIndexedList(file, URLs, QStringLiteral("URL"), settings.URLHistory);
    // Written in one step at the end: a failure leaves the old file whole.
    ok = ok && file.Flush();
    if (!ok && errorText) *errorText = QStringLiteral("Unable to write to %1").arg(fileName);
    return ok;
}
