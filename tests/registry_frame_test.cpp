// What all six registry functions share: root key names, fields that do not
// arrive whole, the order of the calls on the parameter handle, the host that
// cannot size the reply, and the system message replies.
#include <cstring>

#include "registry/param_frame.h"
#include "registry/root_keys.h"
#include "registry/system_error_text.h"
#include "tests/support/registry_scratch.h"

#ifndef _WIN32
#include "vxplatform/testing.h"
#endif

namespace {

using hostsim::Service;
using vxtest::AllRegistryFunctions;
using vxtest::Param;
using vxtest::RegistryFunctionInfo;
using vxtest::SystemMessage;

class RegistryFrameTest : public vxtest::RegistryTest {
 protected:
  // A parameter text for the function with the given root and key path, and
  // the value name "v", type "REG_SZ" and data "d" where it takes them.
  static std::string Request(const RegistryFunctionInfo &function, const std::string &root, const std::string &path) {
    std::vector<std::string> fields = {root, path, "v", "REG_SZ", "d"};
    fields.resize(function.fields);
    return Param(fields);
  }

  // Whether the scratch key is still empty: no subkeys, no values.
  bool ScratchUntouched() const {
    return Subkeys(Scratch()).empty() && !ValueExists(Scratch(), "v") && !ValueExists(Scratch(), "");
  }
};

TEST_F(RegistryFrameTest, RootNamesOutsideTheTableAnswerErrorInEveryFunction) {
  const std::string names[] = {
      "hkey_current_user",
      "Hkey_Current_User",
      "HKEY_CURRENT_USER ",
      " HKEY_CURRENT_USER",
      "HKEY_CURRENT_USERS",
      "HKEY_CURRENT_USE",
      "",
      "HKEY_PERFORMANCE_DATA",
      "HKEY_LOCAL_MACHINE\\",
      "HKEY_USERS\t",
      std::string(300, 'H'),
  };
  for (const RegistryFunctionInfo &function : AllRegistryFunctions()) {
    for (const std::string &name : names) {
      const hostsim::ExternalResult result = Call(function.index, Request(function, name, Below("Target")));
      EXPECT_EQ(result.reply, "<<ERROR>>") << function.name << " " << vxtest::Printable(name);
      EXPECT_TRUE(ScratchUntouched()) << function.name << " " << vxtest::Printable(name);
    }
  }
}

TEST_F(RegistryFrameTest, EachNameOfTheTableResolvesToItsPredefinedKey) {
  struct Row {
    const char *name;
    HKEY key;
  };
  const Row rows[] = {
      {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
      {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
      {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
      {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
      {"HKEY_USERS", HKEY_USERS},
  };
  for (const Row &row : rows) {
    char field[kFieldBufferSize] = {};
    std::strcpy(field, row.name);
    HKEY key = nullptr;
    EXPECT_TRUE(ResolveRootKey(field, &key)) << row.name;
    EXPECT_EQ(key, row.key) << row.name;
    // A name of the table also reaches a key in the function: a listing of a
    // key that is not there answers a system message, not "<<ERROR>>".
    const hostsim::ExternalResult result =
        Call(vxtest::kListRegistryKeys, Param({row.name, "VantorixNoSuchKey\\Below"}));
    EXPECT_EQ(result.reply, SystemMessage(ERROR_INVALID_HANDLE, true, kListBufferSize)) << row.name;
  }
}

// Fields that do not arrive whole: longer than 250 bytes, or exactly 250 and
// followed by a separator.  The function then answers the message for an
// invalid parameter and touches no key.
TEST_F(RegistryFrameTest, AFieldThatIsNotWholeTouchesNoKeyAndAnswersInvalidParameter) {
  for (const RegistryFunctionInfo &function : AllRegistryFunctions()) {
    for (int field = 2; field <= function.fields; ++field) {
      for (const std::size_t length : {std::size_t{250}, std::size_t{300}}) {
        std::vector<std::string> fields = {"HKEY_CURRENT_USER", Below("Target"), "v", "REG_SZ", "d"};
        fields.resize(function.fields);
        fields[field - 1] = field == 2 ? Below(std::string(length - Below("").size(), 'k')) : std::string(length, 'n');
        std::string parameter = Param(fields);
        if (field == function.fields) parameter += "|more";  // a 250-byte last field must be followed
        const hostsim::ExternalResult result = Call(function.index, parameter);
        EXPECT_EQ(result.reply, SystemMessage(ERROR_INVALID_PARAMETER, function.converts,
                                              function.index == vxtest::kListRegistryKeys ||
                                                      function.index == vxtest::kListRegistryValues
                                                  ? kListBufferSize
                                                  : kWorkBufferSize))
            << function.name << " field " << field << " of " << length;
        EXPECT_TRUE(ScratchUntouched()) << function.name << " field " << field << " of " << length;
      }
    }
  }
}

TEST_F(RegistryFrameTest, AFieldWithAZeroByteInsideIsRefusedLikeACutOne) {
  // Up to its zero byte each field names something that exists; the
  // registry would see only that much of it.
  CreateKey(Below("Target\\v"));
  PutString(Below("Target"), "v", "kept");
  for (const RegistryFunctionInfo &function : AllRegistryFunctions()) {
    for (int field = 2; field <= function.fields; ++field) {
      std::vector<std::string> fields = {"HKEY_CURRENT_USER", Below("Target"), "v", "REG_SZ", "d"};
      fields.resize(function.fields);
      fields[field - 1] += std::string("\0tail", 5);
      const std::string parameter = Param(fields);
      const bool list = function.index == vxtest::kListRegistryKeys || function.index == vxtest::kListRegistryValues;
      EXPECT_EQ(Call(function.index, parameter).reply,
                SystemMessage(ERROR_INVALID_PARAMETER, function.converts, list ? kListBufferSize : kWorkBufferSize))
          << function.name << " field " << field;
      EXPECT_TRUE(KeyExists(Below("Target\\v"))) << function.name << " field " << field;
      vxtest::StoredValue stored;
      ASSERT_TRUE(ReadValue(Below("Target"), "v", &stored)) << function.name << " field " << field;
      EXPECT_EQ(stored.data, std::string("kept", 5)) << function.name << " field " << field;
    }
  }
}

TEST_F(RegistryFrameTest, AnInvalidFieldTouchesNothingThatExistsEither) {
  // The key and the value named are there: still nothing is written or
  // deleted when another field is cut.  (Taken as empty, the cut data would
  // overwrite the value, and the cut key path would make the delete reach
  // the key below the root itself.)
  CreateKey(Below("Target\\v"));
  PutString(Below("Target"), "v", "kept");
  const std::string longText(300, 'x');
  EXPECT_EQ(Call(vxtest::kSetRegistryKey, Param({"HKEY_CURRENT_USER", Below("Target"), "v", "REG_SZ", longText})).reply,
            SystemMessage(ERROR_INVALID_PARAMETER, false));
  EXPECT_EQ(Call(vxtest::kDeleteRegistryKey, Param({"HKEY_CURRENT_USER", longText, Below("Target\\v")})).reply,
            SystemMessage(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(KeyExists(Below("Target\\v")));
  vxtest::StoredValue stored;
  ASSERT_TRUE(ReadValue(Below("Target"), "v", &stored));
  EXPECT_EQ(stored.data, std::string("kept", 5));
  // Fields past the ones a function takes have no effect, whatever their length.
  EXPECT_EQ(Call(vxtest::kDeleteRegistryValue, Param({"HKEY_CURRENT_USER", Below("Target"), "v", longText})).reply,
            SystemMessage(ERROR_SUCCESS));
  EXPECT_FALSE(ValueExists(Below("Target"), "v"));
}

// Fields that arrive whole are used: 249 bytes anywhere, 250 bytes at the end
// of the text (later fields are then absent, so empty).
TEST_F(RegistryFrameTest, FieldsOf249BytesAnd250AtTheEndAreUsed) {
  for (const RegistryFunctionInfo &function : AllRegistryFunctions()) {
    for (int field = 2; field <= function.fields; ++field) {
      for (const std::size_t length : {std::size_t{249}, std::size_t{250}}) {
        SCOPED_TRACE(std::string(function.name) + " field " + std::to_string(field) + " of " + std::to_string(length));
        const bool atEnd = length == 250;
        std::string path = Below("Target");
        std::string name = "v";
        std::string type = "REG_SZ";
        std::string data = "d";
        if (field == 2) path = Below(std::string(length - Below("").size(), 'k'));
        if (field == 3) name = std::string(length, 'n');
        if (field == 4) type = std::string(length, 't');
        if (field == 5) data = std::string(length, 'd');
        if (atEnd) {
          // The field ends the text: the fields after it are absent.
          for (int n = field + 1; n <= 5; ++n) (n == 3 ? name : n == 4 ? type : data) = "";
        }
        std::vector<std::string> fields = {"HKEY_CURRENT_USER", path, name, type, data};
        fields.resize(atEnd ? field : function.fields);
        std::string parameter = Param(fields);

        DeleteTree(Scratch());
        CreateKey(path + "\\" + (name.empty() ? "sub" : name));
        PutString(path, name, "ok");

        const hostsim::ExternalResult result = Call(function.index, parameter);
        switch (function.index) {
          case vxtest::kGetRegistryKey: EXPECT_EQ(result.reply, "ok"); break;
          case vxtest::kListRegistryKeys: EXPECT_EQ(result.reply, name.empty() ? "sub" : name); break;
          case vxtest::kListRegistryValues: EXPECT_EQ(result.reply, name + ", [REG_SZ]"); break;
          case vxtest::kSetRegistryKey: {
            // 250 characters are written, but the read-back exceeds its limit.
            EXPECT_EQ(result.reply, data.size() == 250 ? SystemMessage(ERROR_MORE_DATA, false) : data);
            vxtest::StoredValue stored;
            ASSERT_TRUE(ReadValue(path, name, &stored));
            EXPECT_EQ(stored.type, static_cast<DWORD>(REG_SZ));
            EXPECT_EQ(stored.data, data + std::string(1, '\0'));
            break;
          }
          case vxtest::kDeleteRegistryKey:
            // An empty subkey name is refused.
            EXPECT_EQ(result.reply, SystemMessage(name.empty() ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS));
            EXPECT_EQ(KeyExists(path + "\\" + name), name.empty());
            break;
          case vxtest::kDeleteRegistryValue:
            EXPECT_EQ(result.reply, SystemMessage(ERROR_SUCCESS));
            EXPECT_FALSE(ValueExists(path, name));
            break;
        }
      }
    }
  }
}

TEST_F(RegistryFrameTest, OwnLockEnclosesOneLockedReadPerField) {
  for (const RegistryFunctionInfo &function : AllRegistryFunctions()) {
    for (const char *root : {"HKEY_CURRENT_USER", "nonsense"}) {
      host().ClearJournal();
      Call(function.index, Request(function, root, Below("Target")));
      std::vector<Service> expected = {Service::LockHandle};
      for (int n = 0; n < function.fields; ++n) {
        expected.insert(expected.end(),
                        {Service::QueryHandleSize, Service::PrepareHandle, Service::LockHandle, Service::UnlockHandle});
      }
      expected.push_back(Service::UnlockHandle);
      EXPECT_EQ(host().ParameterCalls(), expected) << function.name << " with root " << root;
      // The reply is written while the function's own lock is held.
      ASSERT_FALSE(host().Journal().empty());
      EXPECT_EQ(host().Journal().back().service, Service::UnlockHandle) << function.name;
    }
  }
}

TEST_F(RegistryFrameTest, AReplyTheHostCannotSizeIsNotCopiedAndEverythingIsReleased) {
  PutString(Scratch(), "v", "value");
  CreateKey(Below("sub"));
  for (const RegistryFunctionInfo &function : AllRegistryFunctions()) {
    for (const char *root : {"HKEY_CURRENT_USER", "nonsense"}) {
      std::string parameter = Request(function, root, Scratch());
      if (function.index == vxtest::kDeleteRegistryKey || function.index == vxtest::kDeleteRegistryValue)
        parameter = Param({root, Scratch(), "absent"});
      host().FailResizes(1);
      const hostsim::ExternalResult result = Call(function.index, parameter);
      EXPECT_EQ(result.reply, hostsim::Host::kReplySentinel) << function.name << " " << root;
    }
  }
  EXPECT_TRUE(KeyExists(Below("sub")));
}

// --- system message replies -------------------------------------------------

TEST_F(RegistryFrameTest, SystemMessageForAStatusWithoutTextNamesTheStatus) {
  // A customer-defined code: no system has a message for it.
  const LONG status = 0x20000123;
  char *probe = nullptr;
  ASSERT_EQ(
      FormatMessageA(0x1300, nullptr, static_cast<DWORD>(status), 1024, reinterpret_cast<LPSTR>(&probe), 0, nullptr),
      0u);
  for (bool convert : {false, true}) {
    char work[kWorkBufferSize] = {};
    const uint32_t length = SystemErrorText(status, convert, work, sizeof work);
    EXPECT_EQ(std::string(work, length), "System error 536871203.");
  }
  char tiny[8] = {};
  EXPECT_EQ(std::string(tiny, SystemErrorText(status, true, tiny, sizeof tiny)), "System ");
}

TEST_F(RegistryFrameTest, SystemMessageTrimsOnlyTheLineEndReallyThere) {
  VX_SKIP_ON_WINE("sets the system's message texts");
#ifndef _WIN32
  struct Case {
    std::string message;
    std::string unconverted;
    std::string converted;
  };
  const Case cases[] = {
      {"Plain.\r\n", "Plain.", "Plain."},
      {"No line end.", "No line end.", "No line end."},
      {"Only CR.\r", "Only CR.", "Only CR."},
      {"Only LF.\n", "Only LF.", "Only LF."},
      {"\r\n", "", ""},
      {"\n", "", ""},
      {"x", "x", "x"},
      {"Two\r\nlines.\r\n", "Two\r\nlines.", "Two\rlines."},
      {"Doubled.\r\n\r\n", "Doubled.", "Doubled."},
      {"Z\xFCrich \xC4nderung.\r\n", "Z\xFCrich \xC4nderung.", "Z\x9Frich \x80nderung."},
  };
  const DWORD status = 0x20000321;
  for (const Case &c : cases) {
    vxplatform::SetMessageText(status, c.message.c_str());
    char work[kWorkBufferSize] = {};
    EXPECT_EQ(std::string(work, SystemErrorText(static_cast<LONG>(status), false, work, sizeof work)), c.unconverted)
        << vxtest::Printable(c.message);
    EXPECT_EQ(std::string(work, SystemErrorText(static_cast<LONG>(status), true, work, sizeof work)), c.converted)
        << vxtest::Printable(c.message);
  }
  vxplatform::SetMessageText(status, nullptr);
#endif
}

TEST_F(RegistryFrameTest, SystemMessageLongerThanTheWorkBufferIsCutBeforeConverting) {
  VX_SKIP_ON_WINE("sets the system's message texts");
#ifndef _WIN32
  // 249 letters, a line feed at 249, a carriage return at 250: cut at 251,
  // the line feed goes in the conversion, the carriage return at the end.
  std::string message = std::string(249, '\xE9') + "\n\r" + std::string(400, 'y') + "\r\n";
  vxplatform::SetMessageText(ERROR_MORE_DATA, message.c_str());
  char work[kListBufferSize] = {};
  EXPECT_EQ(std::string(work, SystemErrorText(ERROR_MORE_DATA, true, work, kWorkBufferSize)), std::string(249, '\x8E'));
  EXPECT_EQ(std::string(work, SystemErrorText(ERROR_MORE_DATA, false, work, kWorkBufferSize)),
            std::string(249, '\xE9'));
  // The list functions' buffer takes 511.
  EXPECT_EQ(std::string(work, SystemErrorText(ERROR_MORE_DATA, true, work, kListBufferSize)),
            std::string(249, '\x8E') + "\r" + std::string(260, 'y'));
  // End to end, with the buffer of each kind of function.
  PutString(Scratch(), "big", std::string(251, 'b'));
  EXPECT_EQ(Call(vxtest::kGetRegistryKey, Param({"HKEY_CURRENT_USER", Scratch(), "big"})).reply,
            std::string(249, '\x8E'));
  vxplatform::SetMessageText(ERROR_NO_MORE_ITEMS, message.c_str());
  EXPECT_EQ(Call(vxtest::kListRegistryKeys, Param({"HKEY_CURRENT_USER", Scratch()})).reply,
            std::string(249, '\x8E') + "\r" + std::string(260, 'y'));
  vxplatform::SetMessageText(ERROR_MORE_DATA, nullptr);
  vxplatform::SetMessageText(ERROR_NO_MORE_ITEMS, nullptr);
#endif
}

}  // namespace
