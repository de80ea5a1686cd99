#include "engine/EngineSettings.h"

TEngineSettings& EngineSettings() {
    static TEngineSettings settings;
    return settings;
}
