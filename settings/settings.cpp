#include "settings/settings.h"

// Scaffolding until the settings key is built: start-up touches nothing.
void InitSettings() {}
