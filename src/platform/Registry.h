#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

#include <memory>

// The values kept per user between runs (window placement, view styles, column
// widths, last connections), stored in the native settings format in the program
// folder beside the other files of the program (RegistryFilePath()), not in a folder
// of their own under ~/.config. Subkeys are written with
// backslashes as on Windows ("Windows\Main\Column Widths") and become nested groups.
// Values that are missing, or not numbers where a number is asked for, read as the
// default. An empty value name reads and writes the subkey's default value.
class TRegistry {
public:
    TRegistry();
    // A store in the given file, for tests and tools.
    explicit TRegistry(const QString& fileName);
    ~TRegistry();

    int ReadInteger(const QString& subkey, const QString& name, int def) const;
    QString ReadString(const QString& subkey, const QString& name, const QString& def) const;
    bool ValueExists(const QString& subkey, const QString& name) const;
    void WriteInteger(const QString& subkey, const QString& name, int value);
    void WriteString(const QString& subkey, const QString& name, const QString& value);
    void DeleteValue(const QString& subkey, const QString& name);
    // Writes pending changes to the store; false when it cannot be written.
    bool Flush();

    // The eight last connections, most recent first; empty slots are empty texts.
    QStringList ReadLastConnections() const;
    void WriteLastConnections(const QStringList& names);

private:
    static QString Path(const QString& subkey, const QString& name);
    std::unique_ptr<QSettings> FSettings;
};

// The subkeys the main window uses.
inline constexpr char RegWindowsMain[] = "Windows\\Main";
inline constexpr char RegColumnWidths[] = "Windows\\Main\\Column Widths";
inline constexpr char RegOptions[] = "Options";
// The command line of the HTML editor, as the subkey's default value (an empty name):
// none by default, and the editor commands stay hidden until one is set.
inline constexpr char RegEditorCommand[] = "htmlfile\\shell\\Pellion\\command";
inline constexpr int LastConnectionCount = 8;
// "Last Connections1" to "Last Connections8", holding the value "Site".
QString LastConnectionSubkey(int slot);
