// The system's wait cursor while a list is built.
#ifndef VANTORIX_REGISTRY_BUSY_CURSOR_H
#define VANTORIX_REGISTRY_BUSY_CURSOR_H

void ShowWaitCursor();
void ShowArrowCursor();

#endif
