// SHA-256 of a byte string, as lowercase hex: how the log and the tests
// name a file's exact bytes, the same way on every lane.
#ifndef VANTORIX_TESTS_SUPPORT_SHA256_H
#define VANTORIX_TESTS_SUPPORT_SHA256_H

#include <string>

namespace vxtest {

std::string Sha256Hex(const std::string &bytes);

}  // namespace vxtest

#endif
