// The plug-in's external functions by name, as its string table gives
// them, and by index.
#ifndef VANTORIX_TOOLS_VXHOST_FUNCTIONS_H
#define VANTORIX_TOOLS_VXHOST_FUNCTIONS_H

#include <cstdint>
#include <string>

#include "hostsim/hostsim.h"

namespace vxhost {

class Functions {
 public:
  explicit Functions(const hostsim::Plugin &plugin);

  // A name (in any case) or an index; false, with *error set, for anything
  // else.
  bool Resolve(const std::string &word, int32_t *index, std::string *error) const;
  // The function's name in UTF-8, or "function N" for an index without one.
  std::string Name(int32_t index) const;
  // "INDEX  NAME" a line, for every function that has a name.
  std::string List() const;

 private:
  static constexpr int kCount = 8;
  std::string names_[kCount];  // Windows-1252, as the string table holds them
};

}  // namespace vxhost

#endif
