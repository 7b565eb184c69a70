#include "injection.h"

#include <cstring>
#include <string>
#include <vector>

#include <vxplatform/testing.h>

namespace vxplatform {
namespace {

struct Injected {
  std::string function;
  LONG status;
  int skip;  // calls to let through before the failing one
};

std::vector<Injected> &Pending() {
  static std::vector<Injected> pending;
  return pending;
}

}  // namespace

void InjectFailure(const char *function, LONG status, int skip) {
  Pending().push_back(Injected{function, status, skip < 0 ? 0 : skip});
}

void ClearInjectedFailures() { Pending().clear(); }

namespace detail {

bool TakeInjectedFailure(const char *function, LONG *status) {
  std::vector<Injected> &pending = Pending();
  for (auto it = pending.begin(); it != pending.end(); ++it) {
    if (it->function != function) continue;
    if (it->skip > 0) {
      --it->skip;
      return false;
    }
    *status = it->status;
    pending.erase(it);
    return true;
  }
  return false;
}

}  // namespace detail
}  // namespace vxplatform
