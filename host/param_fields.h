// Fields of the parameter text.
#ifndef VANTORIX_HOST_PARAM_FIELDS_H
#define VANTORIX_HOST_PARAM_FIELDS_H

#include <cstdint>

#include "host/call_block.h"

// The most bytes of one field that a caller takes.
constexpr uint32_t ParamFieldMax = 250;

// Copies field fieldNumber (1 for the first; fields are separated by '|',
// with no quoting) of the parameter text into destination, at most limit
// bytes (limit is at least 1; the callers pass ParamFieldMax) and without a
// terminator, and stores its reported length.  A field that fills the limit
// reports 0 unless it ends the text; a missing or empty field writes nothing
// and reports 0.  Returns whether the field arrived whole, that is whether
// the reported length is the field's real length: false for a field longer
// than limit, or exactly limit bytes long and followed by a separator.
bool GetParamField(HostHandle handle, int16_t fieldNumber, uint32_t limit, unsigned char *destination, int32_t *length);

#endif
