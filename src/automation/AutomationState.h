#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Names the automation server goes by on the session bus.
inline constexpr char AutomationService[] = "com.kelvenar.Marrowby";
inline constexpr char AutomationPath[] = "/Wexmarten";
inline constexpr char AutomationInterface[] = "com.kelvenar.Marrowby.IWexmarten";
inline constexpr char AutomationEventsInterface[] = "com.kelvenar.Marrowby.IWexmartenEvents";
inline constexpr char AutomationLifecycleInterface[] = "com.kelvenar.Marrowby.Lifecycle";

// What the dialog's accept button does for the client.
enum TDialogAction : int { daOpen = 0, daSave = 1, daSaveAs = 2 };

// The dialog's state for the whole run, shared by the automation object and the window.
struct TAutomationState {
    TDialogAction DialogAction = daOpen;
    // Names given by AddToSaveList; none until the first.
    std::optional<QStringList> SaveList;
    QString SaveAsFileName;
};

// The file-name field's text: each name quoted and followed by a blank, joined and
// trimmed; a single name goes without its quotes.
QString FileNameFieldText(const QStringList& names);

// How the program was started, from the server switches of its command line.
enum class TServerMode { Standalone, Automation, RegServer, UnregServer };
TServerMode ServerMode(const QStringList& switches);

// The D-Bus activation file: where it lives in the user's data folder
// (dbus-1/services/), and its text for the program at the given absolute path.
QString ActivationFilePath();
QByteArray ActivationFileText(const QString& program);
// Writes or removes it; false with the reason when that fails. Removing a file that is
// not there succeeds.
bool WriteActivationFile(const QString& program, QString* error);
bool RemoveActivationFile(QString* error);
