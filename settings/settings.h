// The plug-in's own settings key, read or created at start-up, and the
// message box that reports start-up failures.
#ifndef VANTORIX_SETTINGS_SETTINGS_H
#define VANTORIX_SETTINGS_SETTINGS_H

#include <windows.h>

#include <cstddef>

// The settings key below HKEY_CURRENT_USER, and the value it holds.  Other
// installations rely on both exactly as they stand.
extern const char SettingsKeyPath[];
extern const char FormatValueName[];

// The in-memory copy of "format_string": byte 0 is the length L, bytes 1 to
// L the characters, and a zero byte follows them at 1 + L.
constexpr std::size_t kFormatSettingSize = 32;

// Makes sure the settings key exists under the current user's root: a new
// key gets the default "format_string", an existing key's value is read.
// Failures are shown in the start-up error box; nothing is reported back.
void InitSettings();

// Sets the in-memory format back to its default, "1 (###) ###-####".
void RestoreDefaultFormat();

// Shows a task-modal box with no owner: the caption is string captionId of
// the plug-in's string table, the text string captionId + 1 formatted with
// code.  Both are loaded through the current call block's instanceHandle.
void ShowErrorBox(UINT captionId, LONG code);

// Read-only view of the in-memory format record (kFormatSettingSize bytes).
const unsigned char *FormatSettingRecord();

#endif
