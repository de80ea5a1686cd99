#pragma once

#include "views/widgets/LogText.h"

#include <functional>

class IViewQuestions;
class QAction;

// The log of the current host tab: read-only lines, each in its own colour, and a
// context menu that saves them to the log file (or a file picked), or clears them.
class TLogPane : public TLogText {
    Q_OBJECT
public:
    explicit TLogPane(QWidget* parent = nullptr);

    // Replaces the file with the lines, or leaves it as it was. On failure the lines
    // stay and the error is added as a red line; false then.
    bool WriteTo(const QString& fileName);
    // "&Save": writes to the log file and empties the pane once written.
    bool Save();
    // "Save &as...": the same to a file picked by the user, starting at the log file.
    bool SaveAs();

    // The log file of the settings, read at each save (the options may change it).
    std::function<QString()> LogFileName;
    void SetQuestions(IViewQuestions* questions) { Questions_ = questions; }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    bool SaveAndClear(const QString& fileName);
    void UpdateActions();

    IViewQuestions* Questions_ = nullptr;
    QAction* Save_ = nullptr;
    QAction* SaveAs_ = nullptr;
    QAction* Clear_ = nullptr;
};
