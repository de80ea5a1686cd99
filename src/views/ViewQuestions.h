#pragma once

#include "views/CertificateQuestion.h"

#include <QString>
#include <QStringList>

// What the program asks or tells the user. Panes and windows ask only through this, so
// tests answer without windows and the GUI answers with message boxes and pickers.
class IViewQuestions {
public:
    virtual ~IViewQuestions() = default;

    // Whether to delete the selection: its item count, the first item's name and whether
    // that item is a folder (the prompt depends on both).
    virtual bool ConfirmDelete(int count, const QString& firstName, bool firstIsFolder) = 0;
    // A message the user acknowledges (a refused rename, a failed delete).
    virtual void ShowMessage(const QString& text) = 0;
    // A message about something that went wrong and matters (a changed certificate).
    virtual void ShowError(const QString& text) { ShowMessage(text); }
    // Whether to trust a server certificate nobody vouches for: its host, subject,
    // issuer, validity, fingerprint and problem are shown; anything but a choice refuses.
    virtual TCertificateTrust AskCertificateTrust(const TCertificateInfo& certificate) {
        Q_UNUSED(certificate);
        return TCertificateTrust::Refuse;
    }
    // A Yes/No question; anything but Yes is No.
    virtual bool AskYesNo(const QString& text) {
        Q_UNUSED(text);
        return false;
    }
    // One of the choices, as buttons; their index, or `cancel` when the box is closed.
    virtual int AskChoice(const QString& text, const QStringList& choices, int cancel) {
        Q_UNUSED(text);
        Q_UNUSED(choices);
        return cancel;
    }
    // A line of text (a folder name, a mask); a null text when cancelled.
    virtual QString AskText(const QString& title, const QString& label,
                            const QString& initial = {}) {
        Q_UNUSED(title);
        Q_UNUSED(label);
        Q_UNUSED(initial);
        return {};
    }
    // A folder chosen in a folder browser; empty when cancelled.
    virtual QString PickFolder(const QString& title, const QString& start) {
        Q_UNUSED(title);
        Q_UNUSED(start);
        return {};
    }
    // A file chosen in an open (or, with save, a save) dialog. The filter is Qt's form,
    // "Sound Files (*.wav);;All Files (*)". Empty when cancelled.
    virtual QString PickFile(const QString& title, const QString& start, const QString& filter,
                             bool save) {
        Q_UNUSED(title);
        Q_UNUSED(start);
        Q_UNUSED(filter);
        Q_UNUSED(save);
        return {};
    }
};
