#pragma once

#include <QString>

// What a pane asks or tells the user while it works. The panes ask only through this, so
// tests answer without windows and the GUI answers with message boxes.
class IViewQuestions {
public:
    virtual ~IViewQuestions() = default;

    // Whether to delete the selection: its item count, the first item's name and whether
    // that item is a folder (the prompt depends on both).
    virtual bool ConfirmDelete(int count, const QString& firstName, bool firstIsFolder) = 0;
    // A message the user acknowledges (a refused rename, a failed delete).
    virtual void ShowMessage(const QString& text) = 0;
};
