#include "platform/ProcessLock.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/Files.h"
#include "tests/support/Scratch.h"

using namespace platform;
using namespace test_support;

namespace {

// 1 when the child finds the name taken, 0 when it gets it.
int ChildFindsTaken(const std::string& name) {
  return ExitCodeOfChild([&] { return NamedLock(name).alreadyExisted() ? 1 : 0; });
}

TEST(NamedLock, SecondProcessSeesTheNameTakenUntilTheHolderLetsGo) {
  std::optional<NamedLock> holder;
  holder.emplace("VarnelStampora_App");
  EXPECT_FALSE(holder->alreadyExisted());
  EXPECT_EQ(ChildFindsTaken("VarnelStampora_App"), 1);
  EXPECT_EQ(ChildFindsTaken("VarnelStampora_Other"), 0);

  holder.reset();
  EXPECT_EQ(ChildFindsTaken("VarnelStampora_App"), 0);
}

TEST(NamedLock, LivesInTheRuntimeFolderEvenWithASlashInTheName) {
  NamedLock lock("a/b");
  EXPECT_EQ(lock.path(), RuntimeFolder() + "a_b.lock");
  EXPECT_TRUE(FileExists(lock.path()));
  EXPECT_TRUE(NamedLock("a/b").alreadyExisted());
}

TEST(RuntimeFolder, FallsBackToThePrivateFolderWhenXdgIsUnusable) {
  std::string runtime = NewFolder("runtime");
  ScopedEnv xdg("XDG_RUNTIME_DIR", runtime);
  EXPECT_EQ(RuntimeFolder(), runtime + "/");

  WriteFile(runtime + "/file", "");
  ScopedEnv notFolder("XDG_RUNTIME_DIR", runtime + "/file");
  EXPECT_EQ(RuntimeFolder(), PrivateTempFolder());
  ScopedEnv relative("XDG_RUNTIME_DIR", "run");
  EXPECT_EQ(RuntimeFolder(), PrivateTempFolder());
}

}  // namespace
