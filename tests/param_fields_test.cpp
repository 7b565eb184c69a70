// Fields of the parameter text: what GetParamField writes, reports and asks
// of the host.
#include <cstring>
#include <string>
#include <vector>

#include "host/current_block.h"
#include "host/param_fields.h"
#include "tests/support/plugin.h"

namespace {

using hostsim::JournalEntry;
using hostsim::Service;
using vxtest::Printable;

// Destination bytes that no field put there.
constexpr unsigned char kUntouched = 0xA5;

struct FieldRead {
  std::vector<unsigned char> destination;  // exactly ParamFieldMax bytes
  int32_t length = -7;
  bool whole = false;
};

class ParamFieldsTest : public vxtest::PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    CurrentCallBlock = host().PrepareBlock(CallExternal);
  }

  FieldRead Read(HostHandle handle, int16_t field) {
    FieldRead read;
    read.destination.assign(ParamFieldMax, kUntouched);
    read.whole = GetParamField(handle, field, ParamFieldMax, read.destination.data(), &read.length);
    return read;
  }

  FieldRead Read(const std::string &text, int16_t field) {
    HostHandle handle = host().NewHandle(text);
    FieldRead read = Read(handle, field);
    host().FreeHandle(handle);
    return read;
  }
};

struct FieldCase {
  const char *what;
  std::string text;
  int16_t field;
  std::string written;  // the bytes at the start of destination; the rest untouched
  int32_t length;
  bool whole;
};

TEST_F(ParamFieldsTest, WritesAndReportsEachFieldAsTheTableSays) {
  const std::string f249(249, 'a'), f250(250, 'b'), f251(251, 'd'), f300(300, 'c');
  const FieldCase cases[] = {
      {"first of three", "a|b|c", 1, "a", 1, true},
      {"second of three", "a|b|c", 2, "b", 1, true},
      {"third of three", "a|b|c", 3, "c", 1, true},
      {"past the last", "a|b|c", 4, "", 0, true},
      {"empty in the middle", "a||c", 2, "", 0, true},
      {"after an empty one", "a||c", 3, "c", 1, true},
      {"empty first", "|a|b", 1, "", 0, true},
      {"after an empty first", "|a|b", 2, "a", 1, true},
      {"before a closing separator", "a|b|", 2, "b", 1, true},
      {"after a closing separator", "a|b|", 3, "", 0, true},
      {"no separator", "abc", 1, "abc", 3, true},
      {"no second field", "abc", 2, "", 0, true},
      {"only separators", "||", 2, "", 0, true},
      {"empty text", "", 1, "", 0, true},
      {"empty text, field 2", "", 2, "", 0, true},
      {"field 0", "a|b", 0, "", 0, true},
      {"field -1", "a|b", -1, "", 0, true},
      {"lowest field number", "a|b", INT16_MIN, "", 0, true},
      {"field 0 of an empty text", "", 0, "", 0, true},
      {"zero byte inside", std::string("a\0b|c", 5), 1, std::string("a\0b", 3), 3, true},
      {"zero byte alone", std::string("\0", 1), 1, std::string("\0", 1), 1, true},
      {"zero byte after", std::string("a\0b|c", 5), 2, "c", 1, true},
      {"bytes as given", "Z\xFCrich|\r\n\xA0", 2, "\r\n\xA0", 3, true},
      {"249 then more", f249 + "|x|y", 1, f249, 249, true},
      {"249 at the end", "x|" + f249, 2, f249, 249, true},
      {"250, the whole text", f250, 1, f250, 250, true},
      {"250 at the end", "x|" + f250, 2, f250, 250, true},
      {"250 then a separator", f250 + "|x", 1, f250, 0, false},
      {"250 then a closing separator", f250 + "|", 1, f250, 0, false},
      {"250 in the middle", "x|" + f250 + "|y", 2, f250, 0, false},
      {"251, the whole text", f251, 1, f251.substr(0, 250), 0, false},
      {"300, the whole text", f300, 1, f300.substr(0, 250), 0, false},
      {"300 first", f300 + "|x", 1, f300.substr(0, 250), 0, false},
      {"300 in the middle", "x|" + f300 + "|y", 2, f300.substr(0, 250), 0, false},
      {"300 at the end", "x|" + f300, 2, f300.substr(0, 250), 0, false},
      {"short field before a long one", "x|" + f300, 1, "x", 1, true},
      {"short field after a long one", "x|" + f300 + "|y", 3, "y", 1, true},
      {"empty field before a long one", "|" + f300, 1, "", 0, true},
  };
  for (const FieldCase &c : cases) {
    FieldRead read = Read(c.text, c.field);
    EXPECT_EQ(read.length, c.length) << c.what;
    EXPECT_EQ(read.whole, c.whole) << c.what;
    const std::string got(reinterpret_cast<const char *>(read.destination.data()), c.written.size());
    EXPECT_EQ(got, c.written) << c.what << ": " << Printable(got);
    std::size_t touched = 0;
    for (std::size_t i = c.written.size(); i < read.destination.size(); ++i)
      touched += read.destination[i] != kUntouched;
    EXPECT_EQ(touched, 0u) << c.what << ": bytes beyond the field were written";
  }
}

// The field counter must not run out before the field numbers do: with a
// counter as narrow as the field number, tens of thousands of separators
// would bring a wrapped count round to 0, a negative number or 1 again.
TEST_F(ParamFieldsTest, ManySeparatorsDoNotWrapTheFieldCount) {
  const FieldCase cases[] = {
      {"highest field number", std::string(32766, '|') + "abc", INT16_MAX, "abc", 3, true},
      {"lowest field number", std::string(32767, '|') + "abc", INT16_MIN, "", 0, true},
      {"field 0", std::string(65535, '|') + "abc", 0, "", 0, true},
      {"field -1", std::string(65534, '|') + "abc", -1, "", 0, true},
      {"empty field 1", std::string(65536, '|') + "abc", 1, "", 0, true},
  };
  for (const FieldCase &c : cases) {
    FieldRead read = Read(c.text, c.field);
    EXPECT_EQ(read.length, c.length) << c.what;
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(read.destination.data()), c.written.size()), c.written)
        << c.what;
    EXPECT_EQ(read.destination[c.written.size()], kUntouched) << c.what;
  }
}

TEST_F(ParamFieldsTest, AsksTheHostInOrderOnceEachAndKeepsTheCallersLock) {
  const std::string texts[] = {"", "a|b|c", std::string(300, 'x'), std::string(250, 'y') + "|z"};
  for (const std::string &text : texts) {
    for (int16_t field : {int16_t{-1}, int16_t{1}, int16_t{2}, int16_t{9}}) {
      HostHandle handle = host().NewHandle(text);
      CurrentCallBlock->LockHandle(handle);  // as the registry functions hold it
      host().ClearJournal();
      Read(handle, field);
      const std::vector<JournalEntry> &journal = host().Journal();
      const Service expected[] = {Service::QueryHandleSize, Service::PrepareHandle, Service::LockHandle,
                                  Service::UnlockHandle};
      ASSERT_EQ(journal.size(), 4u) << Printable(text.substr(0, 20)) << " field " << field;
      for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(journal[i].service, expected[i]) << "call " << i << ", field " << field;
        EXPECT_EQ(journal[i].handle, handle) << "call " << i << ", field " << field;
      }
      EXPECT_EQ(host().LockCount(handle), 1) << "field " << field;
      CurrentCallBlock->UnlockHandle(handle);
      host().FreeHandle(handle);
    }
  }
}

// A host of the test's own, whose data sits elsewhere until the handle is
// locked, and which looks at the length argument while it unlocks.
struct MovingHost {
  static std::string text;
  static std::string decoy;
  static unsigned char *master;
  static int32_t *length;
  static int32_t lengthAtUnlock;
  static int locks;

  static uint32_t VX_CDECL Size(HostHandle) { return static_cast<uint32_t>(text.size()); }
  static void VX_CDECL Prepare(HostHandle) {}
  static void VX_CDECL Lock(HostHandle) {
    ++locks;
    master = reinterpret_cast<unsigned char *>(&text[0]);
  }
  static void VX_CDECL Unlock(HostHandle) {
    --locks;
    lengthAtUnlock = *length;
    master = reinterpret_cast<unsigned char *>(&decoy[0]);
  }
};
std::string MovingHost::text;
std::string MovingHost::decoy;
unsigned char *MovingHost::master = nullptr;
int32_t *MovingHost::length = nullptr;
int32_t MovingHost::lengthAtUnlock = 0;
int MovingHost::locks = 0;

TEST(ParamFieldsHostTest, ReadsTheDataOnlyAfterLockingAndStoresTheLengthAfterUnlocking) {
  ExternCallBlock block;
  std::memset(&block, 0, sizeof block);
  block.QueryHandleSize = &MovingHost::Size;
  block.PrepareHandle = &MovingHost::Prepare;
  block.LockHandle = &MovingHost::Lock;
  block.UnlockHandle = &MovingHost::Unlock;
  CurrentCallBlock = &block;

  MovingHost::text = "real|field";
  MovingHost::decoy = "fake|decoy";
  MovingHost::master = reinterpret_cast<unsigned char *>(&MovingHost::decoy[0]);
  int32_t length = -7;
  MovingHost::length = &length;
  unsigned char destination[ParamFieldMax];
  std::memset(destination, kUntouched, sizeof destination);

  GetParamField(&MovingHost::master, 2, ParamFieldMax, destination, &length);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(destination), 5), "field");
  EXPECT_EQ(length, 5);
  EXPECT_EQ(MovingHost::lengthAtUnlock, -7) << "the length was stored before the unlock";
  EXPECT_EQ(MovingHost::locks, 0);
  CurrentCallBlock = nullptr;
}

}  // namespace
