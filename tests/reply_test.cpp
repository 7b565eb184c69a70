// The reply protocol, driven directly on the plug-in's own code.
#include "host/reply.h"
#include "host/current_block.h"
#include "tests/support/plugin.h"

namespace {

using hostsim::Service;

class ReplyTest : public vxtest::PluginTest {
 protected:
  HostHandle Reply(const std::string &initial) {
    HostHandle handle = host().NewHandle(initial);
    CurrentCallBlock = host().PrepareBlock(CallExternal);
    host().ClearJournal();
    return handle;
  }
};

TEST_F(ReplyTest, SizesTheReplyExactlyAndWritesNoTerminator) {
  const std::string texts[] = {"", "x", std::string("a\0b", 3), std::string(1000, 'z')};
  for (const std::string &text : texts) {
    HostHandle reply = Reply("previous reply text");
    PutResult(reply, text.data(), static_cast<uint32_t>(text.size()));
    EXPECT_EQ(host().Bytes(reply), text);
    ASSERT_EQ(host().Journal().size(), 2u);
    EXPECT_EQ(host().Journal()[0].service, Service::ResizeHandle);
    EXPECT_EQ(host().Journal()[0].argument, text.size());
    EXPECT_EQ(host().Journal()[1].service, Service::LastMemoryError);
    host().FreeHandle(reply);
  }
}

TEST_F(ReplyTest, CopiesNothingAfterAFailedResize) {
  HostHandle reply = Reply("kept");
  host().FailResizes(1);
  PutResult(reply, "new text", 8);
  EXPECT_EQ(host().Bytes(reply), "kept");
  host().FreeHandle(reply);
}

TEST(CopyBytesTest, CopiesFrontToBackExactlyCountBytes) {
  char destination[8] = {'-', '-', '-', '-', '-', '-', '-', '-'};
  CopyBytes("abcdef", destination + 1, 4);
  EXPECT_EQ(std::string(destination, 8), "-abcd---");
  CopyBytes("zz", destination, 0);
  EXPECT_EQ(destination[0], '-');
}

}  // namespace
