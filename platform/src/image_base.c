/* Linked into each linux module that asks for its own handle: the address
   of __ImageBase lies inside the module, which is all the stand-in's
   LoadStringA needs to find the module's string table. */
#include <windows.h>

__attribute__((visibility("hidden"))) IMAGE_DOS_HEADER __ImageBase;
