#include "settings/EngineTargets.h"

#include "engine/EngineSettings.h"
#include "engine/FtpComponent.h"

TEngineTargets EngineTargets() {
    TEngineTargets targets;
    targets.SetEngineValues = [](const TEngineValues& values) {
        TEngineSettings& engine = EngineSettings();
        engine.KeepAlive = values.KeepAlive;
        engine.QuickDisconnect = values.QuickDisconnect;
        engine.TimeOut = values.TimeOut;
        engine.RetryDelay = values.RetryDelay;
        engine.RetryCount = values.RetryCount;
    };
    targets.SetPassiveOfLiveSessions = [](bool passive) {
        for (TFTPComponent* session : TFTPComponent::LiveComponents())
            session->SetPassive(passive);
    };
    return targets;
}
