#include <gtest/gtest.h>

#include "FakeWord.h"
#include "wordlink/uExtAppController.h"
#include "wordlink/uExtAppDocument.h"

using namespace wordlink;

namespace {

class ControllerTest : public ::testing::Test {
 protected:
  fake::Registration registration;
  fake::World& world = fake::TheWorld();
};

TEST_F(ControllerTest, StartupConnectionIsNewHiddenSilentAndWithoutSink) {
  TExtAppController c;
  TExtAppInstance* first = c.Connect(kKindDefault, false, true);
  ASSERT_NE(first, nullptr);
  TExtAppInstance* second = c.Connect(kKindDefault, false, true);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second) << "ForceNew must start another instance";
  ASSERT_EQ(world.apps.size(), 2u);
  auto& app = *world.apps[0];
  EXPECT_EQ(first->Kind, kKindWord);
  EXPECT_EQ(first->Version, 16);
  EXPECT_FALSE(first->KeepRunning);
  EXPECT_FALSE(app.props["visible"].toBool());
  EXPECT_FALSE(app.props["displayalerts"].toBool());
  EXPECT_TRUE(app.advisedIds.empty());
}

TEST_F(ControllerTest, VisibleRequestStartsSecondInstanceAndReusesIt) {
  TExtAppController c;
  TExtAppInstance* worker = c.Connect(kKindDefault, false, true);
  TExtAppInstance* editor = c.Connect(kKindDefault, true, false);
  ASSERT_NE(editor, nullptr);
  EXPECT_NE(worker, editor);
  EXPECT_EQ(c.Connect(kKindDefault, true, false), editor);
  EXPECT_EQ(c.Connect(kKindDefault, false, false), worker);
  ASSERT_EQ(world.apps.size(), 2u);
  ASSERT_EQ(world.apps[1]->advisedIds.size(), 1u);
  EXPECT_EQ(world.apps[1]->advisedIds[0], "{000209FE-0000-0000-C000-000000000046}");
  EXPECT_TRUE(world.apps[1]->props["displayalerts"].toBool());
}

TEST_F(ControllerTest, InstanceTheUserQuitIsReplacedInItsSlot) {
  TExtAppController c;
  c.Connect(kKindDefault, false, true);
  TExtAppInstance* editor = c.Connect(kKindDefault, true, false);
  world.apps[1]->dead = true;  // the user closed the visible word processor
  TExtAppInstance* again = c.Connect(kKindDefault, true, false);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again, editor) << "the freed record is reused";
  EXPECT_EQ(c.Count(), 2);
  EXPECT_EQ(world.apps.size(), 3u);
}

TEST_F(ControllerTest, InstanceHiddenByTheUserIsReleased) {
  TExtAppController c;
  c.Connect(kKindDefault, true, false);
  world.apps[0]->props["visible"] = false;
  c.CheckInstance(0);
  EXPECT_EQ(c.Instance(0)->Kind, kKindFree);
  EXPECT_TRUE(world.apps[0]->quit);
}

TEST_F(ControllerTest, VersionRules) {
  struct Case {
    const char* version;
    bool accepted;
  } cases[] = {{"8.0", true}, {"16.0", true}, {"7.0", false}, {"x.0", false}, {"", false}};
  for (const Case& k : cases) {
    fake::TheWorld().version = k.version;
    TExtAppController c;
    TExtAppInstance* inst = c.Connect(kKindDefault, false, true);
    EXPECT_EQ(inst != nullptr, k.accepted) << k.version;
    if (!k.accepted) {
      EXPECT_TRUE(world.apps.back()->quit) << "a refused instance is quit: " << k.version;
      EXPECT_EQ(c.Instance(0)->Kind, kKindFree);
    }
  }
}

TEST(ControllerWithoutServer, ConnectFailsWhenNothingIsRegistered) {
  UnregisterProgId("Word.Application");
  TExtAppController c;
  EXPECT_EQ(c.Connect(kKindDefault, false, true), nullptr);
  EXPECT_EQ(c.Connect(kKindFree, false, true), nullptr);
}

TEST_F(ControllerTest, DestructionQuitsOwnedInstancesButNotThoseLeftOpen) {
  {
    TExtAppController c;
    c.Connect(kKindDefault, false, true);
    c.Connect(kKindDefault, true, false);
    c.LeaveVisibleOpen();
  }
  EXPECT_TRUE(world.apps[0]->quit);
  EXPECT_FALSE(world.apps[1]->quit);
}

TEST_F(ControllerTest, RecordsKeepTheirIdentityWhileTheListGrows) {
  TExtAppController c;
  TExtAppInstance* first = c.Connect(kKindDefault, false, true);
  for (int i = 0; i < 40; ++i) c.Connect(kKindDefault, false, true);
  EXPECT_EQ(c.Instance(0), first);
  EXPECT_EQ(first->Index, 0);
  EXPECT_EQ(c.Instance(40)->Index, 40);
}

}  // namespace
