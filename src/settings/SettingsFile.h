#pragma once

#include "settings/Settings.h"

#include <QString>

// Reading and writing the settings record in the settings file (SettingsFilePath()
// unless the command line names another). A missing file reads as all defaults and
// is made by the first write.

// Fills the record from the file. An older "ConfirmLowerCase" flag becomes the
// default of the case conversion and is removed from the file.
TSettings ReadSettings(const QString& fileName);

// Writes every value back, keeping the file's comments and other keys. The URL
// history is cut to its first MaxURLHistory entries first. On failure nothing of the
// file changes and errorText (when given) holds "Unable to write to <file>".
bool WriteSettings(TSettings& settings, const QString& fileName, QString* errorText = nullptr);
