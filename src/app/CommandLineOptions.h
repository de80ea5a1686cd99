#pragma once

#include <QDialog>

// Help topic of the command line and its usage window.
constexpr int hcCommandLine = 60;

// Shows the program's switches; started with -? the program shows only this window and
// ends when it is closed.
class TfrmCommandLineOptions : public QDialog {
    Q_OBJECT
public:
    explicit TfrmCommandLineOptions(QWidget* parent = nullptr);
};
