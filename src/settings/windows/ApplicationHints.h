#pragma once

#include "settings/ApplyEngineSettings.h"

// Tool tips for the whole application, on or off ("Show Tool Tips"). Off, every tool tip
// event is swallowed before it reaches a widget.
void SetApplicationHints(bool on);
bool ApplicationHints();

// EngineTargets() with the application's tool tips as the hints target.
TEngineTargets GuiEngineTargets();
