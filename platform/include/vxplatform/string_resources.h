/* How a linux module carries its string table for the stand-in's
   LoadStringA: an exported, null-terminated array under this name. */
#ifndef VX_PLATFORM_STRING_RESOURCES_H
#define VX_PLATFORM_STRING_RESOURCES_H

typedef struct VxStringResource {
  unsigned id;
  const char *text;
} VxStringResource;

#define VX_STRING_RESOURCES_SYMBOL "VxStringResources"

#endif
