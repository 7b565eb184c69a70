// SHA-256 of a byte string, as lowercase hex: the log names the plug-in file
// that a lane loads by it.
#ifndef VANTORIX_TESTS_SUPPORT_SHA256_H
#define VANTORIX_TESTS_SUPPORT_SHA256_H

#include <string>

namespace vxtest {

std::string Sha256Hex(const std::string &bytes);

}  // namespace vxtest

#endif
