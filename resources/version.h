/* The plug-in's version, as its version resource and its version text give
   it.  The numbers come from the build: project(VERSION) in CMakeLists.txt,
   passed on by the target vx_version (resources/CMakeLists.txt); the
   release package takes its name from the same place.  Plain C: the
   resource compiler reads this file as well. */
#ifndef VANTORIX_RESOURCES_VERSION_H
#define VANTORIX_RESOURCES_VERSION_H

#if !defined(VX_VERSION_MAJOR) || !defined(VX_VERSION_MINOR)
#error "the version comes from the build: link the target vx_version"
#endif

#define VX_STRINGIZE_(x) #x
#define VX_STRINGIZE(x) VX_STRINGIZE_(x)
/* "2.0" for version 2.0 */
#define VX_VERSION_TEXT VX_STRINGIZE(VX_VERSION_MAJOR) "." VX_STRINGIZE(VX_VERSION_MINOR)
/* "2, 0, 0, 0" for version 2.0 */
#define VX_VERSION_COMMAS VX_STRINGIZE(VX_VERSION_MAJOR) ", " VX_STRINGIZE(VX_VERSION_MINOR) ", 0, 0"

#endif
