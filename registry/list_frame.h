// The frame that the two list functions share, around the frame of every
// registry function: the system's wait cursor while the list is built, the
// name buffer that doubles as work buffer, and the growable list text.
#ifndef VANTORIX_REGISTRY_LIST_FRAME_H
#define VANTORIX_REGISTRY_LIST_FRAME_H

#include <windows.h>

#include "host/call_block.h"
#include "registry/byte_string.h"

// Lists the key of root and path (the resolved field 1 and field 2) into
// list and answers, using names (kListBufferSize bytes) for each name and for
// any message.  The key it opens goes to *key, which the frame closes.
using ListAnswer = void (*)(HKEY root, const char *path, HKEY *key, HostHandle reply, char *names, ByteString *list);

// Locks the parameter text, shows the wait cursor, takes fields 1 and 2,
// answers "<<ERROR>>" for an unknown root and the message for
// ERROR_INVALID_PARAMETER for a field that did not arrive whole, and
// otherwise calls answer; then closes the key, shows the arrow cursor on
// every path, unlocks the parameter text and frees the list.
void RunListFunction(HostHandle parameter, HostHandle reply, ListAnswer answer);

// The end of a listing whose last enumeration step gave status after index
// steps: the converted message for status when the very first step failed
// with one of the statuses that have a message reply (firstStepMessage
// says which), else the list built so far, else no reply at all.
void FinishList(LONG status, uint32_t index, bool firstStepMessage, HostHandle reply, char *names,
                const ByteString &list);

// Appends the entry pieces; when no storage can be had, frees the list,
// answers the converted message for ERROR_NOT_ENOUGH_MEMORY (never a
// partial list presented as complete) and returns false.
bool AppendOrGiveUp(ByteString *list, std::initializer_list<const char *> pieces, HostHandle reply, char *names);

#endif
