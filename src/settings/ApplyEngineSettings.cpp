#include "settings/ApplyEngineSettings.h"

#include <algorithm>
#include <limits>

TEngineValues EngineValues(const TSettings& settings) {
    TEngineValues values;
    values.ShowHints = settings.ShowToolTips;
    values.KeepAlive = settings.KeepAlive;
    values.QuickDisconnect = settings.QuickDisconnect;
    values.Passive = settings.UsePASV;
    // A hand-edited file may hold anything: a time-out of 0 or less would end every
    // wait at once, and seconds times 1000 must fit the engine's 32-bit milliseconds.
    constexpr int64_t MaxSeconds = std::numeric_limits<uint32_t>::max() / 1000;
    const int64_t seconds = std::clamp<int64_t>(settings.Timeout, 1, MaxSeconds);
    values.TimeOut = static_cast<uint32_t>(seconds * 1000);
    values.RetryDelay = std::max(settings.RetryDelay, 0);
    // A stored count below 1 would read as "no limit"; only InfiniteRetry means that.
    values.RetryCount = settings.InfiniteRetry ? 0 : std::max(settings.Retries, 1);
    return values;
}

void ApplyEngineSettings(const TSettings& settings, const TEngineTargets& targets) {
    const TEngineValues values = EngineValues(settings);
    if (targets.SetShowHints) targets.SetShowHints(values.ShowHints);
    if (targets.SetEngineValues) targets.SetEngineValues(values);
    if (targets.SetPassiveOfLiveSessions) targets.SetPassiveOfLiveSessions(values.Passive);
}
