#pragma once

#include "ScriptedFtpServer.h"
#include "SessionRecorder.h"

#include <memory>

// A session of a scripted server, for a test fixture: without owner, so no QUIT at the end,
// and with a fixed server type, so neither SYST nor the REST probe. Its events are recorded
// from the start.
struct TScriptedSession {
    std::unique_ptr<TScriptedFtpServer> Server; // when Connect made one
    std::unique_ptr<TFTPComponent> Session;
    std::unique_ptr<TSessionRecorder> Rec;

    TSessionRecorder& Open(quint16 port, uint8_t serverType = 1) {
        Session = std::make_unique<TFTPComponent>();
        Session->Host = QStringLiteral("127.0.0.1");
        Session->Port = port;
        Session->User = "joe";
        Session->Password = "secret";
        Session->SetServerType(serverType);
        Rec = std::make_unique<TSessionRecorder>(*Session);
        return *Rec;
    }
    // Opens a session of a new scripted server and logs in. The server lives on until
    // Close(), so the script must not hold the test's locals by reference.
    TSessionRecorder& Connect(TScriptedFtpServer::Script script) {
        Server = std::make_unique<TScriptedFtpServer>();
        Server->setScript(std::move(script));
        Open(Server->port());
        Session->Login();
        return *Rec;
    }
    // The session first: nothing it posts may reach a recorder already gone.
    void Close() {
        Session.reset();
        Rec.reset();
        Server.reset();
    }
};
