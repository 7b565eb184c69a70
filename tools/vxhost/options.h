// vxhost's command line: its options, how they are read, and --help.
#ifndef VANTORIX_TOOLS_VXHOST_OPTIONS_H
#define VANTORIX_TOOLS_VXHOST_OPTIONS_H

#include <string>
#include <vector>

namespace vxhost {

// How replies are written: as text, as their exact bytes, or as a hex dump.
enum class Shape { Text, Raw, Hex };

struct Options {
  std::string plugin;
  std::string registry;
  bool registryGiven = false;
  std::string importFile;
  std::string exportFile;
  std::string exportKey;
  bool exportWanted = false;
  bool regedit4 = false;
  Shape shape = Shape::Text;
  bool interactive = false;
  bool functions = false;
  bool help = false;
  std::vector<std::string> calls;  // FUNCTION PARAMETER ...
};

// Reads the options that come before the first FUNCTION (args[0] is the
// program); false, with *error set, for a usage error.
bool ParseArguments(const std::vector<std::string> &args, Options *options, std::string *error);

// The text of --help, its exit statuses included.
std::string HelpText();

}  // namespace vxhost

#endif
