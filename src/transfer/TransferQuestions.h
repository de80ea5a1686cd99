#pragma once

#include <QString>

#include <cstdint>

// The answers of the confirmation dialogs, as the usual dialog result codes.
enum TModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2, // the window's close box
    mrRetry = 4,  // "&Recovery"
    mrYes = 6,
    mrNo = 7,
    mrNoToAll = 9,
    mrYesToAll = 10,
};

// A file that already exists where a transfer would write.
struct TExistingFile {
    QString Name;
    int64_t ExistingSize = 0;
    int64_t NewSize = 0;
    double ExistingDate = 0; // day numbers
    double NewDate = 0;
    // The transfer can resume (binary, and the server resumes): "&Recovery" is offered
    // only then, and only when the existing file is the smaller.
    bool CanResume = true;
};

// What queueing asks the user. The GUI answers with the confirmation dialogs; the
// command-line tool and the tests answer without windows.
class ITransferQuestions {
public:
    virtual ~ITransferQuestions() = default;
    // mrYes, mrNo, mrYesToAll, mrNoToAll, mrRetry (resume) or mrCancel.
    virtual int AskOverwrite(const TExistingFile& file) = 0;
    // mrYes, mrNo, mrYesToAll, mrNoToAll or mrCancel.
    virtual int AskRestart(const QString& fileName) = 0;
};
