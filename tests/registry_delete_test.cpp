// DeleteRegistryKey and DeleteRegistryValue: delete what the parameter names
// below an existing key and answer the system's message for the outcome.
#include "tests/support/registry_scratch.h"

#ifndef _WIN32
#include "vxplatform/testing.h"
#endif

namespace {

using vxtest::Param;
using vxtest::SystemMessage;

class DeleteTest : public vxtest::RegistryTest {
 protected:
  hostsim::ExternalResult DeleteKey(const std::string &path, const std::string &name) {
    return Call(vxtest::kDeleteRegistryKey, Param({"HKEY_CURRENT_USER", path, name}));
  }
  hostsim::ExternalResult DeleteValue(const std::string &path, const std::string &name) {
    return Call(vxtest::kDeleteRegistryValue, Param({"HKEY_CURRENT_USER", path, name}));
  }
};

TEST_F(DeleteTest, DeletingAValueAnswersSuccessThenFileNotFoundMessage) {
  PutString(Scratch(), "v", "x");
  PutString(Scratch(), "w", "stays");
  EXPECT_EQ(DeleteValue(Scratch(), "v").reply, SystemMessage(ERROR_SUCCESS));
  EXPECT_FALSE(ValueExists(Scratch(), "v"));
  EXPECT_TRUE(ValueExists(Scratch(), "w"));
  EXPECT_EQ(DeleteValue(Scratch(), "v").reply, SystemMessage(ERROR_FILE_NOT_FOUND));
}

TEST_F(DeleteTest, AnEmptyValueNameDeletesTheDefaultValue) {
  PutString(Scratch(), "", "default");
  PutString(Scratch(), "named", "stays");
  EXPECT_EQ(DeleteValue(Scratch(), "").reply, SystemMessage(ERROR_SUCCESS));
  EXPECT_FALSE(ValueExists(Scratch(), ""));
  EXPECT_TRUE(ValueExists(Scratch(), "named"));
}

TEST_F(DeleteTest, DeletingAKeyRemovesItsWholeTreeThenAnswersFileNotFound) {
  PutString(Below("Tree"), "top", "1");
  PutString(Below("Tree\\A\\B\\C"), "deep", "2");
  PutString(Below("Tree\\D"), "", "3");
  PutString(Scratch(), "beside", "stays");
  EXPECT_EQ(DeleteKey(Scratch(), "Tree").reply, SystemMessage(ERROR_SUCCESS));
  EXPECT_FALSE(KeyExists(Below("Tree")));
  EXPECT_TRUE(ValueExists(Scratch(), "beside"));
  EXPECT_EQ(DeleteKey(Scratch(), "Tree").reply, SystemMessage(ERROR_FILE_NOT_FOUND));
}

TEST_F(DeleteTest, APathAsNameDeletesOnlyTheDeepestKey) {
  PutString(Below("A"), "kept", "1");
  PutString(Below("A\\B\\C"), "gone", "2");
  CreateKey(Below("A\\Sibling"));
  EXPECT_EQ(DeleteKey(Scratch(), "A\\B").reply, SystemMessage(ERROR_SUCCESS));
  EXPECT_FALSE(KeyExists(Below("A\\B")));
  EXPECT_TRUE(KeyExists(Below("A\\Sibling")));
  EXPECT_TRUE(ValueExists(Below("A"), "kept"));
}

TEST_F(DeleteTest, AnEmptySubkeyNameDeletesNothingAndCreatesNothing) {
  PutString(Below("Full\\Child"), "v", "1");
  PutString(Below("Full"), "w", "2");
  const std::string parameters[] = {
      Param({"HKEY_CURRENT_USER", Below("Full"), ""}),
      Param({"HKEY_CURRENT_USER", Below("Full")}),                        // field 3 absent
      Param({"HKEY_CURRENT_USER", Below("Full"), std::string(1, '\0')}),  // empty as a name
      Param({"HKEY_CURRENT_USER", Below("Missing"), ""}),
  };
  for (const std::string &parameter : parameters) {
    EXPECT_EQ(Call(vxtest::kDeleteRegistryKey, parameter).reply, SystemMessage(ERROR_INVALID_PARAMETER))
        << vxtest::Printable(parameter);
  }
  EXPECT_TRUE(ValueExists(Below("Full\\Child"), "v"));
  EXPECT_TRUE(ValueExists(Below("Full"), "w"));
  EXPECT_FALSE(KeyExists(Below("Missing")));
}

TEST_F(DeleteTest, AMissingPathIsCreatedAndNothingIsDeletedOrAnswered) {
  for (vxtest::RegistryFunction function : {vxtest::kDeleteRegistryKey, vxtest::kDeleteRegistryValue}) {
    const std::string path = Below("New" + std::to_string(function) + "\\Deeper");
    EXPECT_TRUE(NoReply(Call(function, Param({"HKEY_CURRENT_USER", path, "x"})))) << function;
    EXPECT_TRUE(KeyExists(path)) << function;
    EXPECT_EQ(KeyClass(path), "REG_SZ") << function;
    // Now the path exists: the thing named is not there.
    EXPECT_EQ(Call(function, Param({"HKEY_CURRENT_USER", path, "x"})).reply, SystemMessage(ERROR_FILE_NOT_FOUND))
        << function;
  }
}

TEST_F(DeleteTest, AKeyOutOfReachAnswersNothingAndKeepsEverything) {
  VX_SKIP_ON_WINE("denies write access to a key");
#ifndef _WIN32
  PutString(Below("ReadOnly\\Child"), "v", "1");
  PutString(Below("ReadOnly"), "w", "2");
  ASSERT_TRUE(vxplatform::DenyWriteAccess(HKEY_CURRENT_USER, Below("ReadOnly").c_str()));
  EXPECT_TRUE(NoReply(DeleteKey(Below("ReadOnly"), "Child")));
  EXPECT_TRUE(NoReply(DeleteValue(Below("ReadOnly"), "w")));
  EXPECT_TRUE(ValueExists(Below("ReadOnly\\Child"), "v"));
  EXPECT_TRUE(ValueExists(Below("ReadOnly"), "w"));
#endif
}

TEST_F(DeleteTest, AFailedDeleteAnswersItsConvertedMessage) {
  VX_SKIP_ON_WINE("injects failures into the deletes");
#ifndef _WIN32
  PutString(Below("K\\Child"), "v", "1");
  vxplatform::SetMessageText(ERROR_ACCESS_DENIED, "Acc\xE8s refus\xE9.");
  vxplatform::InjectFailure("SHDeleteKeyA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(DeleteKey(Below("K"), "Child").reply,
            "Acc\x8F"
            "s refus\x8E.");
  vxplatform::InjectFailure("RegDeleteValueA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(DeleteValue(Below("K\\Child"), "v").reply,
            "Acc\x8F"
            "s refus\x8E.");
  EXPECT_TRUE(ValueExists(Below("K\\Child"), "v"));
  vxplatform::SetMessageText(ERROR_ACCESS_DENIED, nullptr);
#endif
}

TEST_F(DeleteTest, MessageRepliesAreConvertedToTheHostSet) {
  // With a French user interface the messages carry accented letters.
  PutString(Scratch(), "v", "x");
  EXPECT_EQ(DeleteValue(Scratch(), "v").reply, vxtest::HostText(SystemMessage(ERROR_SUCCESS, false)));
  EXPECT_EQ(DeleteKey(Scratch(), "absent").reply, vxtest::HostText(SystemMessage(ERROR_FILE_NOT_FOUND, false)));
  EXPECT_EQ(DeleteKey(Scratch(), "").reply, vxtest::HostText(SystemMessage(ERROR_INVALID_PARAMETER, false)));
}

}  // namespace
