// The plug-in's own settings key, read or created at start-up.
#ifndef VANTORIX_SETTINGS_SETTINGS_H
#define VANTORIX_SETTINGS_SETTINGS_H

// Makes sure the settings key exists under the current user's root: a new
// key gets the default "format_string", an existing key's value is read.
// Failures are shown in the start-up error box; nothing is reported back.
void InitSettings();

#endif
