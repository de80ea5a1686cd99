#pragma once

#include "settings/ApplyEngineSettings.h"

// The engine as the target of ApplyEngineSettings: its process-wide values, and
// Passive of every session alive at that moment. The GUI adds SetShowHints.
TEngineTargets EngineTargets();
