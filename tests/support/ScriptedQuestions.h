#pragma once

// The program's questions answered by a script, and what was asked and told kept for the
// test. Header-only: the suites that use it link the widgets; the support library does not.
#include "views/ViewQuestions.h"

#include <QApplication>
#include <QDialog>
#include <QStringList>
#include <QTest>
#include <QTimer>

struct TScriptedQuestions : IViewQuestions {
    // The answers: to the delete question, to a Yes/No question, of the pickers (empty:
    // cancelled), of a text prompt.
    bool Delete = false;
    bool Yes = false;
    QString File, Folder, Text;
    TCertificateTrust Trust = TCertificateTrust::Refuse;
    // The delete question in a modal box of its own, as the real one, for tests of where
    // the focus goes afterwards.
    bool Modal = false;

    int Deletes = 0;
    QStringList Asked; // Yes/No texts, "title|start" of the pickers and prompts
    QStringList Messages;
    QList<TCertificateInfo> Certificates; // the certificates asked about

    bool ConfirmDelete(int, const QString&, bool) override {
        ++Deletes;
        if (Modal) {
            QDialog box(QApplication::activeWindow());
            QTimer::singleShot(0, &box, [&box] { box.done(QTest::qWaitForWindowActive(&box)); });
            box.exec();
        }
        return Delete;
    }
    void ShowMessage(const QString& text) override { Messages << text; }
    TCertificateTrust AskCertificateTrust(const TCertificateInfo& certificate) override {
        Certificates << certificate;
        return Trust;
    }
    bool AskYesNo(const QString& text) override {
        Asked << text;
        return Yes;
    }
    QString AskText(const QString& title, const QString&, const QString& initial) override {
        Asked << title + QLatin1Char('|') + initial;
        return Text;
    }
    QString PickFolder(const QString& title, const QString& start) override {
        Asked << title + QLatin1Char('|') + start;
        return Folder;
    }
    QString PickFile(const QString& title, const QString& start, const QString&, bool) override {
        Asked << title + QLatin1Char('|') + start;
        return File;
    }
};
