#include "tools/vxhost/calls.h"

#include "tools/vxhost/console.h"
#include "tools/vxhost/exit_status.h"
#include "tools/vxhost/reply_codec.h"

namespace vxhost {

bool PrepareCall(const Functions &functions, const std::string &word, const std::string &parameter, Call *call,
                 std::string *error) {
  if (!functions.Resolve(word, &call->index, error)) return false;
  if (!EncodeParameter(parameter, &call->parameter, error)) {
    *error = "the parameter of " + functions.Name(call->index) + ": " + *error;
    return false;
  }
  return true;
}

bool PrepareCalls(const Functions &functions, const std::vector<std::string> &words, std::vector<Call> *calls) {
  for (std::size_t i = 0; i < words.size(); i += 2) {
    Call call;
    std::string error;
    const std::string parameter = i + 1 < words.size() ? words[i + 1] : std::string();
    if (!PrepareCall(functions, words[i], parameter, &call, &error)) {
      Say(error);
      int32_t index = 0;
      std::string ignored;
      if (i >= 1 && functions.Resolve(words[i - 1], &index, &ignored)) {
        Say("(each FUNCTION takes the next argument as its parameter; give '' for an empty one)");
      }
      return false;
    }
    calls->push_back(call);
  }
  return true;
}

int RunCall(hostsim::Host &host, const Functions &functions, const Call &call, Shape shape) {
  const hostsim::ExternalResult result = host.External(call.index, call.parameter);
  for (const std::string &violation : host.Violations()) Say("host check: " + violation);
  host.ClearJournal();
  const std::string name = functions.Name(call.index);
  if (!result.touched) {
    fflush(stdout);
    Say(name + " sent no reply");
    return kNoReply;
  }
  switch (shape) {
    case Shape::Raw: Write(stdout, result.reply, true); break;
    case Shape::Hex: Write(stdout, HexDump(result.reply), true); break;
    case Shape::Text: Write(stdout, DecodeReply(result.reply) + "\n"); break;
  }
  fflush(stdout);
  if (result.reply == "<<ERROR>>") {
    Say(name + " answered <<ERROR>>: the root key name is not one of the five that the plug-in knows");
    return kErrorReply;
  }
  return kReplied;
}

}  // namespace vxhost
