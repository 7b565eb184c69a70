#include "registry/busy_cursor.h"

#include <windows.h>

void ShowWaitCursor() { SetCursor(LoadCursorA(nullptr, IDC_WAIT)); }

void ShowArrowCursor() { SetCursor(LoadCursorA(nullptr, IDC_ARROW)); }
