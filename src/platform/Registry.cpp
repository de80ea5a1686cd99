#include "platform/Registry.h"

#include "platform/ProgramFolder.h"

TRegistry::TRegistry() : TRegistry(RegistryFilePath()) {}

TRegistry::TRegistry(const QString& fileName)
    : FSettings(std::make_unique<QSettings>(fileName, QSettings::NativeFormat)) {}

TRegistry::~TRegistry() = default;

QString TRegistry::Path(const QString& subkey, const QString& name) {
    QString group = subkey;
    group.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (group.startsWith(QLatin1Char('/')))
        group.remove(0, 1);
    // An empty name is the subkey's default value.
    if (name.isEmpty()) return group;
    return group.isEmpty() ? name : group + QLatin1Char('/') + name;
}

int TRegistry::ReadInteger(const QString& subkey, const QString& name, int def) const {
    const QVariant value = FSettings->value(Path(subkey, name));
    if (!value.isValid()) return def;
    bool ok = false;
    const int number = value.toInt(&ok);
    return ok ? number : def;
}

QString TRegistry::ReadString(const QString& subkey, const QString& name,
                              const QString& def) const {
    const QVariant value = FSettings->value(Path(subkey, name));
    return value.isValid() ? value.toString() : def;
}

bool TRegistry::ValueExists(const QString& subkey, const QString& name) const {
    return FSettings->contains(Path(subkey, name));
}

void TRegistry::WriteInteger(const QString& subkey, const QString& name, int value) {
    FSettings->setValue(Path(subkey, name), value);
}

void TRegistry::WriteString(const QString& subkey, const QString& name, const QString& value) {
    FSettings->setValue(Path(subkey, name), value);
}

void TRegistry::DeleteValue(const QString& subkey, const QString& name) {
    FSettings->remove(Path(subkey, name));
}

bool TRegistry::Flush() {
    FSettings->sync();
    return FSettings->status() == QSettings::NoError;
}

QString LastConnectionSubkey(int slot) {
    return QStringLiteral("Last Connections") + QString::number(slot);
}

QStringList TRegistry::ReadLastConnections() const {
    QStringList names;
    for (int slot = 1; slot <= LastConnectionCount; ++slot)
        names.append(ReadString(LastConnectionSubkey(slot), QStringLiteral("Site"), QString()));
    return names;
}

void TRegistry::WriteLastConnections(const QStringList& names) {
    for (int slot = 1; slot <= LastConnectionCount; ++slot)
        WriteString(LastConnectionSubkey(slot), QStringLiteral("Site"), names.value(slot - 1));
}
