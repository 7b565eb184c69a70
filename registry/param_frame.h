// The steps that every registry function shares: the lock on the parameter
// text, the fields taken from it, and the "<<ERROR>>" reply.
#ifndef VANTORIX_REGISTRY_PARAM_FRAME_H
#define VANTORIX_REGISTRY_PARAM_FRAME_H

#include <cstdint>

#include "host/call_block.h"
#include "host/param_fields.h"

// A field buffer: the longest field that is taken whole, a terminating zero
// byte, and one byte to spare (a multi-string's second terminator).
constexpr uint32_t kFieldBufferSize = ParamFieldMax + 2;  // 252

// The work buffer of the functions that read, write or delete one thing:
// at most 251 characters and a terminator.
constexpr uint32_t kWorkBufferSize = 252;

// The work (and name) buffer of the two list functions.
constexpr uint32_t kListBufferSize = 512;

// The most data bytes that a value query takes.
constexpr uint32_t kQueryByteLimit = 250;

// The function's own lock on the parameter text, held for its whole run:
// taken first, released as its last call to the host.
void LockParameter(HostHandle parameter);
void UnlockParameter(HostHandle parameter);

// Reads fields 1 to count of the parameter text, in that order, into
// fields[0] to fields[count - 1] (each kFieldBufferSize bytes), each
// zero-terminated at its reported length.  Returns whether every one of
// them arrived whole and holds no zero byte.  A field that was cut is
// present only in part or not at all, and one with a zero byte inside would
// reach the registry as the shorter text before that byte, naming another
// key or value than the host's text: neither may be used.
bool ReadFields(HostHandle parameter, char *const *fields, int count);

// Answers "<<ERROR>>" (9 bytes, unconverted) through the work buffer.
void AnswerRootError(HostHandle reply, char *work);

#endif
