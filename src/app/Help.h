#pragma once

#include <QString>

class QWidget;

// Help topics: one HTML page per context number under the program's help folder
// ("<number>.html"), shown in one help window. F1 shows the topic of the active window;
// "What's This?" shows the texts the controls carry.
enum THelpContext {
    hcContents = 1,
    hcMainWindow = 2,
    hcTransfers = 3,
    hcAbout = 4,
    hcURL = 8,
    hcOptions = 76,
    hcSiteManager = 77,
    hcCompareOptions = 81,
};

// The topic of a window, found by F1 while that window (or a child of it) is active.
void SetHelpContext(QWidget* window, int context);
// Opens the help window on the topic; the contents when the topic has no page.
void ShowHelpTopic(int context, QWidget* parent = nullptr);
// Makes F1 open the active window's topic, in every window of the program.
void InstallHelpKey();
// Where the topics are read from (beside the program, installed, or the source tree).
QString HelpFolder();
