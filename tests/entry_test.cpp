// The entry point: version negotiation, call kinds, dispatch by index and
// the version function, all through FMExternCallProc of the built library.
#include <cstring>

#include "host/call_block.h"
#include "resources/string_ids.h"
#include "tests/support/plugin.h"

namespace {

using hostsim::Service;
using vxtest::LoadedPlugin;

class EntryTest : public vxtest::PluginTest {
 protected:
  // Sends a call straight to the entry point and returns the block before
  // and after, so a test can see every byte the plug-in wrote.
  std::pair<ExternCallBlock, ExternCallBlock> SendRaw(uint8_t callKind, int32_t index = 0) {
    ExternCallBlock *block = host().PrepareBlock(callKind);
    block->functionIndex = index;
    const ExternCallBlock before = *block;
    vxtest::SendToEntry(block);
    return {before, *block};
  }
};

struct Negotiation {
  int16_t offered;
  int32_t answer;
};

TEST_F(EntryTest, InitAcceptsVersionsFourTo255AndRefusesTheRest) {
  const Negotiation cases[] = {
      {3, -1},
      {4, 4},
      {5, 4},
      {255, 4},
      {256, -1},
      {0, -1},
      {-1, -1},
      {static_cast<int16_t>(0x8000), -1},
      {static_cast<int16_t>(0xFFFF), -1},
      {0x7FFF, -1},
  };
  for (const Negotiation &c : cases) {
    EXPECT_EQ(host().Init(c.offered), c.answer) << "offered " << c.offered;
    // The whole field holds the answer: sign-extended where it is wider.
    EXPECT_EQ(host().LastBlock().reply, static_cast<intptr_t>(c.answer)) << "offered " << c.offered;
  }
}

TEST_F(EntryTest, InitWritesNothingButTheReplyField) {
  for (int16_t offered : {int16_t{4}, int16_t{3}}) {
    ExternCallBlock *block = host().PrepareBlock(CallInit);
    block->hostVersion = offered;
    ExternCallBlock before = *block;
    vxtest::SendToEntry(block);
    ExternCallBlock after = *block;
    before.reply = after.reply = 0;
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0) << "offered " << offered;
  }
}

TEST_F(EntryTest, CallKindsWithoutAnActionLeaveTheBlockAlone) {
  for (int kind = 0; kind < 256; ++kind) {
    if (kind == CallInit || kind == CallExternal) continue;
    auto [before, after] = SendRaw(static_cast<uint8_t>(kind));
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0) << "call kind " << kind;
    EXPECT_TRUE(host().Journal().empty()) << "call kind " << kind;
  }
}

TEST_F(EntryTest, IdleKindsAreIgnored) {
  for (int idle = 0; idle < 256; idle += 51) {
    ExternCallBlock *block = host().PrepareBlock(CallIdle);
    block->idleKind = static_cast<uint8_t>(idle);
    const ExternCallBlock before = *block;
    vxtest::SendToEntry(block);
    EXPECT_EQ(std::memcmp(&before, block, sizeof before), 0) << "idle kind " << idle;
  }
}

TEST_F(EntryTest, IndexesWithoutAFunctionCallNothing) {
  const int32_t indexes[] = {1, 8, 9, 255, -1, static_cast<int32_t>(0x80000000), 0x7FFFFFFF};
  for (int32_t index : indexes) {
    host().ClearJournal();
    hostsim::ExternalResult result = host().External(index, "HKEY_CURRENT_USER|Software|x");
    EXPECT_FALSE(result.touched) << "index " << index;
    EXPECT_EQ(result.reply, hostsim::Host::kReplySentinel) << "index " << index;
    EXPECT_TRUE(host().Journal().empty()) << "index " << index;
  }
}

TEST_F(EntryTest, VersionAnswersItsTextExactlyWithoutReadingTheParameter) {
  const std::string expected = "Vantorix Plugin 2.0";
  for (const std::string &parameter : {std::string(), std::string("anything|at|all"), std::string(300, '|')}) {
    host().ClearJournal();
    hostsim::ExternalResult result = host().External(0, parameter);
    EXPECT_EQ(result.reply, expected) << vxtest::Printable(result.reply);
    EXPECT_TRUE(host().ParameterCalls().empty());
    // One resize to the exact length, then the error check, nothing else.
    ASSERT_EQ(host().Journal().size(), 2u);
    EXPECT_EQ(host().Journal()[0].service, Service::ResizeHandle);
    EXPECT_EQ(host().Journal()[0].argument, expected.size());
    EXPECT_EQ(host().Journal()[1].service, Service::LastMemoryError);
  }
}

TEST_F(EntryTest, VersionIsServedWhateverCameBefore) {
  // Before any initialisation, after a refused one, after shutdown.
  EXPECT_EQ(host().External(0, "").reply, "Vantorix Plugin 2.0");
  host().Init(3);
  EXPECT_EQ(host().External(0, "").reply, "Vantorix Plugin 2.0");
  host().Shutdown();
  host().Preferences();
  EXPECT_EQ(host().External(0, "").reply, "Vantorix Plugin 2.0");
}

TEST_F(EntryTest, VersionCopiesNothingWhenTheHostCannotSizeTheReply) {
  host().FailResizes(1);
  hostsim::ExternalResult result = host().External(0, "");
  EXPECT_EQ(result.reply, hostsim::Host::kReplySentinel);
  ASSERT_EQ(host().Journal().size(), 2u);
  EXPECT_EQ(host().Journal()[1].service, Service::LastMemoryError);
}

TEST_F(EntryTest, TheHostFindsEveryFunctionNameInTheStringTable) {
  const char *names[] = {"Vantorix-Version",
                         "",
                         "Vantorix-GetRegistryKey",
                         "Vantorix-ListRegistryKeys",
                         "Vantorix-ListRegistryValues",
                         "Vantorix-SetRegistryKey",
                         "Vantorix-DeleteRegistryKey",
                         "Vantorix-DeleteRegistryValue"};
  for (unsigned index = 0; index < 8; ++index)
    EXPECT_EQ(LoadedPlugin().String(IDS_FUNCTION_NAME_BASE + index), names[index]) << "index " << index;
  EXPECT_EQ(LoadedPlugin().String(IDS_PLUGIN_NAME), "Vantorix");
  EXPECT_EQ(LoadedPlugin().String(IDS_PLUGIN_OPTIONS), "VX007YYYYnY");
  EXPECT_EQ(LoadedPlugin().String(IDS_ERROR_CAPTION), "Vantorix Plugin Error");
  EXPECT_EQ(LoadedPlugin().String(IDS_ERROR_FORMAT), "error %li");
}

}  // namespace
