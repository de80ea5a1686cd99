#pragma once

#include <QString>

// Pasting files in the local pane: copies or moves a file, link or folder into a folder
// under its own name. Nothing at the destination is ever replaced: when the name is taken
// the item is skipped. False with a message for the user when the item was not pasted.
bool PasteLocalItem(const QString& source, const QString& folder, bool move, QString& error);
