#pragma once

#include "settings/Settings.h"

#include <cstdint>
#include <functional>

// The engine-wide values as the engine takes them.
struct TEngineValues {
    bool ShowHints = true;
    bool KeepAlive = true;
    bool QuickDisconnect = false;
    bool Passive = false;
    uint32_t TimeOut = 120000; // milliseconds
    int32_t RetryDelay = 5;    // seconds
    int32_t RetryCount = 3;    // 0: no limit
};

// The values the settings give the engine: the time-out in milliseconds, the retry
// count 0 (no limit) when retrying until connected. Stored numbers out of their
// sensible range are brought into it (see the .cpp).
TEngineValues EngineValues(const TSettings& settings);

// Where the values go. Each part is called when assigned, in this order: the
// application's hints, the engine's process-wide values (KeepAlive, QuickDisconnect,
// TimeOut, RetryDelay, RetryCount), then Passive of every session alive now. Sessions
// made later take Passive from the settings when they are made.
struct TEngineTargets {
    std::function<void(bool showHints)> SetShowHints;
    std::function<void(const TEngineValues& values)> SetEngineValues;
    std::function<void(bool passive)> SetPassiveOfLiveSessions;
};

// Runs after every read and every write of the settings.
void ApplyEngineSettings(const TSettings& settings, const TEngineTargets& targets);
