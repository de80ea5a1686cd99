#pragma once

#include <functional>

class QDialog;
class QHBoxLayout;
class QPushButton;

// The row a dialog ends with: "OK" (the default button; it accepts), "Cancel" (rejects)
// and, when the dialog has a help topic, "&Help", right-aligned and named btnOK,
// btnCancel and btnHelp.
struct TDialogButtons {
    QPushButton* Ok = nullptr;
    QPushButton* Cancel = nullptr;
    QPushButton* Help = nullptr; // null without a help topic
    QHBoxLayout* Row = nullptr;
};

TDialogButtons MakeDialogButtons(QDialog* dialog, const std::function<void()>& showHelp = {});
