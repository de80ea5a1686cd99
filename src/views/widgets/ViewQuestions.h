#pragma once

#include "views/ViewQuestions.h"

class QMessageBox;
class QWidget;

// The question about a server certificate nobody vouches for, not yet shown: "Trust
// Once", "Trust Always" and "Refuse", Refuse the default and the Escape answer.
QMessageBox* NewCertificateBox(const TCertificateInfo& certificate, QWidget* parent);

// The program's questions as message boxes and file pickers over a parent window.
class TViewQuestions : public IViewQuestions {
public:
    explicit TViewQuestions(QWidget* parent = nullptr) : Parent_(parent) {}

    bool ConfirmDelete(int count, const QString& firstName, bool firstIsFolder) override;
    void ShowMessage(const QString& text) override;
    void ShowError(const QString& text) override;
    TCertificateTrust AskCertificateTrust(const TCertificateInfo& certificate) override;
    bool AskYesNo(const QString& text) override;
    int AskChoice(const QString& text, const QStringList& choices, int cancel) override;
    QString AskText(const QString& title, const QString& label,
                    const QString& initial = {}) override;
    QString PickFolder(const QString& title, const QString& start) override;
    QString PickFile(const QString& title, const QString& start, const QString& filter,
                     bool save) override;

private:
    QWidget* Parent_;
};
