#pragma once

// The main window over private files, its questions and sounds answered by fakes, for the
// suites that drive the whole window. Header-only: those suites link the widgets.
#include "ScriptedQuestions.h"
#include "VsftpdServer.h"

#include "app/MainWindow.h"
#include "app/SidePane.h"
#include "platform/SoundPlayer.h"
#include "views/widgets/HostView.h"
#include "views/widgets/LocalView.h"

#include <QAction>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

struct TFakeSounds : ISoundPlayer {
    QStringList Played;
    void Play(const QString& file) override { Played << file; }
    void Stop() override {}
};

// A window over private files, answering through the fakes.
struct TWindowFixture {
    QTemporaryDir Folder;
    TScriptedQuestions Questions;
    TFakeSounds Sounds;
    std::unique_ptr<TfrmMain> Window;
    explicit TWindowFixture(bool open = true) {
        if (open) Open();
    }
    // A window over the fixture's files, shown as it was closed last.
    void Open() {
        Window = std::make_unique<TfrmMain>(TMainPaths{Folder.filePath("Tolvar.ini"),
                                                       Folder.filePath("Sites.ini"),
                                                       Folder.filePath("dev.ini"), RegistryFile()});
        Window->SetQuestions(&Questions);
        Window->SetSoundPlayer(&Sounds);
        Window->Settings().Sounds = {"success.wav", "failure.wav", "disconnect.wav",
                                     "file.wav",    "all.wav",     "error.wav"};
        Window->ShowAsStored();
    }
    QString RegistryFile() const { return Folder.filePath("registry.conf"); }
    THostView* Host(int index) const {
        return qobject_cast<THostView*>(Window->HostPane()->View(index));
    }
    QString Caption(int index) const { return Window->HostPane()->Tabs()->tabText(index); }
    // The window's action of that object name; a missing one ends the run, naming it.
    QAction* Action(const char* name) const {
        auto* action = Window->findChild<QAction*>(QString::fromLatin1(name));
        if (!action) qFatal("The main window has no action \"%s\"", name);
        return action;
    }
    bool Enabled(const char* action) const { return Action(action)->isEnabled(); }
    // False for a disabled action, which a click would not reach either.
    [[nodiscard]] bool Trigger(const char* name) const {
        QAction* action = Action(name);
        if (!action->isEnabled()) return false;
        action->trigger();
        return true;
    }
    // The local pane on the folder and the host pane connected and listed, the window active.
    bool ShowBoth(TVsftpdServer& server, const QString& folder) {
        if (!Window->OpenLocalFolder(folder, true) || !Connect(server, "Both")) return false;
        Window->activateWindow();
        return QTest::qWaitForWindowActive(Window.get()) && QTest::qWaitFor([this] {
                   return Host(0)->Connected() && Host(0)->StateValue == hsIdle &&
                          Host(0)->ItemCount() > 0;
               });
    }
    bool Connect(TVsftpdServer& server, const QString& caption, const QString& user = "anonymous",
                 const QString& password = "t@example.org") {
        return Window->ConnectLocation("127.0.0.1", server.port(), user, password,
                                       server.rootPath(), QString(), caption, false);
    }
};

inline void SelectName(TCustomView* pane, const QString& name) {
    for (int row = 0; row < pane->ItemCount(); ++row)
        if (pane->ItemName(row) == name) pane->SelectRows({row});
}
