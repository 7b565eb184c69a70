#include "settings/settings.h"

#include "host/current_block.h"
#include "resources/string_ids.h"

const char SettingsKeyPath[] = "Software\\FileMaker\\FileMaker Pro\\5.5\\PlugIns\\Tarvex Plugin\\2.0v1";
const char FormatValueName[] = "format_string";

static_assert(sizeof SettingsKeyPath == 64 + 1, "the settings key path is stored state: 64 characters");

namespace {

// Length byte, the 16 characters and the terminator: the first 18 bytes of
// the default record.  The first 17 of them are what a new key receives.
constexpr unsigned char kDefaultFormat[] =
    "\x10"
    "1 (###) ###-####";
static_assert(sizeof kDefaultFormat == 18, "default format: length byte, 16 characters, terminator");

unsigned char FormatSetting[kFormatSettingSize];

// The most a read may bring in, so that one byte is always left for the
// terminator.
constexpr DWORD kFormatReadMax = kFormatSettingSize - 1;

// Box strings are loaded into buffers of this size, and the text is
// formatted into one.
constexpr int kBoxTextSize = 64;

// Reads "format_string" of an existing settings key into FormatSetting.
void ReadFormatSetting(HKEY key) {
  DWORD size = 0;
  LONG status = RegQueryValueExA(key, FormatValueName, nullptr, nullptr, nullptr, &size);
  if (size > kFormatReadMax) {
    // Too long for the record: not read at all.  A value that exists gives
    // status 0 here, and that is the code the box shows.
    ShowErrorBox(IDS_ERROR_CAPTION, status);
    return;
  }

  status = RegQueryValueExA(key, FormatValueName, nullptr, nullptr, FormatSetting, &size);
  if (status != ERROR_SUCCESS) {
    // A missing value lands here too (status 2): the key is not repaired.
    RestoreDefaultFormat();
    ShowErrorBox(IDS_ERROR_CAPTION, status);
    return;
  }
  // Nothing read: the record keeps its default.
  if (size == 0) return;

  // The first byte is taken as the length, but a value entered by hand may
  // claim more characters than were read; the text is then cut to the bytes
  // read, which keeps the terminator inside the record.
  DWORD length = FormatSetting[0];
  if (length > size - 1) length = size - 1;
  FormatSetting[0] = static_cast<unsigned char>(length);
  FormatSetting[1 + length] = 0;
}

}  // namespace

const unsigned char *FormatSettingRecord() { return FormatSetting; }

void RestoreDefaultFormat() {
  for (std::size_t i = 0; i < kFormatSettingSize; ++i) {
    FormatSetting[i] = i < sizeof kDefaultFormat ? kDefaultFormat[i] : 0;
  }
}

void InitSettings() {
  RestoreDefaultFormat();

  char keyClass[] = "REG_SZ";
  HKEY key = nullptr;
  DWORD disposition = 0;
  // cppcheck-suppress cstyleCast ; the system header's HKEY_CURRENT_USER is a cast
  LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, SettingsKeyPath, 0, keyClass, REG_OPTION_NON_VOLATILE,
                                KEY_ALL_ACCESS, nullptr, &key, &disposition);
  if (status != ERROR_SUCCESS) {
    ShowErrorBox(IDS_ERROR_CAPTION, status);
    return;  // no key to close
  }

  if (disposition == REG_CREATED_NEW_KEY) {
    // A new key receives the default, length byte included, no terminator.
    status = RegSetValueExA(key, FormatValueName, 0, REG_SZ, FormatSetting, FormatSetting[0] + 1u);
    if (status != ERROR_SUCCESS) ShowErrorBox(IDS_ERROR_CAPTION, status);
  } else {
    ReadFormatSetting(key);
  }
  RegCloseKey(key);
}

void ShowErrorBox(UINT captionId, LONG code) {
  // Empty until loaded, so that a string missing from the module gives an
  // empty caption or text rather than stray bytes.
  char caption[kBoxTextSize] = "";
  char format[kBoxTextSize] = "";
  char text[kBoxTextSize] = "";
  HINSTANCE module = CurrentCallBlock->instanceHandle;
  LoadStringA(module, captionId, caption, kBoxTextSize);
  LoadStringA(module, captionId + 1, format, kBoxTextSize);
  wsprintfA(text, format, code);
  MessageBoxA(nullptr, text, caption, MB_TASKMODAL);
}
