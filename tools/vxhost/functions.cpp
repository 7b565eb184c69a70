#include "tools/vxhost/functions.h"

#include "charsets/charsets.h"
#include "resources/string_ids.h"

namespace vxhost {

namespace {

// A decimal index with an optional '-' that fits 32 bits.
bool ParseIndex(const std::string &word, int32_t *index) {
  std::size_t i = word.size() > 1 && word[0] == '-' ? 1 : 0;
  if (i == word.size() || word.size() - i > 10) return false;
  int64_t value = 0;
  for (; i < word.size(); ++i) {
    if (word[i] < '0' || word[i] > '9') return false;
    value = value * 10 + (word[i] - '0');
  }
  if (word[0] == '-') value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return false;
  *index = static_cast<int32_t>(value);
  return true;
}

}  // namespace

Functions::Functions(const hostsim::Plugin &plugin) {
  for (int i = 0; i < kCount; ++i) names_[i] = plugin.String(IDS_FUNCTION_NAME_BASE + static_cast<unsigned>(i));
}

bool Functions::Resolve(const std::string &word, int32_t *index, std::string *error) const {
  if (ParseIndex(word, index)) return true;
  for (int i = 0; i < kCount; ++i) {
    if (!names_[i].empty() && charsets::EqualNoCase(names_[i], word)) {
      *index = i;
      return true;
    }
  }
  *error = "the plug-in has no function " + word + " (vxhost --functions lists them)";
  return false;
}

std::string Functions::Name(int32_t index) const {
  if (index >= 0 && index < kCount && !names_[index].empty()) return charsets::Cp1252ToUtf8(names_[index]);
  return "function " + std::to_string(index);
}

std::string Functions::List() const {
  std::string out;
  for (int i = 0; i < kCount; ++i) {
    if (!names_[i].empty()) out += std::to_string(i) + "  " + charsets::Cp1252ToUtf8(names_[i]) + "\n";
  }
  return out;
}

}  // namespace vxhost
