#include <gtest/gtest.h>

#include "wordlink/Automation.h"

using namespace wordlink;

namespace {

TEST(Variant, NumericConversionsBehaveLikeTheAutomationRuntime) {
  EXPECT_EQ(Variant(2.5).toInt(), 2);
  EXPECT_EQ(Variant(3.5).toInt(), 4);
  EXPECT_EQ(Variant(-2.5f).toInt(), -2);
  EXPECT_EQ(Variant(true).toInt(), -1);
  EXPECT_EQ(Variant("42").toInt(), 42);
  EXPECT_FLOAT_EQ(Variant("12,5").toFloat(), 12.5f);
  EXPECT_EQ(Variant().toInt(), 0);
  EXPECT_THROW(Variant("12x").toInt(), AutomationError);
  EXPECT_THROW(Variant(3e10).toInt(), AutomationError);
  EXPECT_THROW(Variant::missing().toInt(), AutomationError);
}

TEST(Variant, TextAndBooleanConversions) {
  EXPECT_EQ(Variant(true).toString(), "True");
  EXPECT_EQ(Variant(16).toString(), "16");
  EXPECT_EQ(Variant(595.35f).toString(), "595.35");
  EXPECT_TRUE(Variant("true").toBool());
  EXPECT_TRUE(Variant(-1).toBool());
  EXPECT_FALSE(Variant("0").toBool());
  EXPECT_THROW(Variant("maybe").toBool(), AutomationError);
}

class Echo : public Dispatch {
 public:
  Variant invoke(std::string_view member, InvokeKind kind, Args& args) override {
    if (SameMember(member, "Twice")) return ArgAt(args, 0).toInt() * 2;
    if (SameMember(member, "SetFlag")) {
      RefArgAt(args, 1) = Variant(true);
      return {};
    }
    throw AutomationError(std::string(member), "Unknown name");
  }
};

TEST(Variant, ObjectsAreCalledByMemberNameIgnoringCase) {
  Variant obj(std::make_shared<Echo>());
  EXPECT_EQ(obj.call("twice", 21).toInt(), 42);
  Args args{Variant(1)};
  obj.invoke("SETFLAG", InvokeKind::Method, args);
  ASSERT_EQ(args.size(), 2u);
  EXPECT_TRUE(args[1].toBool()) << "by-reference arguments are written back";
  try {
    obj.get("Nope");
    FAIL();
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.member(), "Nope");
  }
  EXPECT_THROW(Variant(5).get("Anything"), AutomationError);
  EXPECT_THROW(Variant(5).toObject(), AutomationError);
}

TEST(ProgIds, CreationNeedsARegisteredClass) {
  EXPECT_THROW(CreateOleObject("No.Such.Application"), AutomationError);
  RegisterProgId("Test.Echo", [] { return std::make_shared<Echo>(); });
  Variant a = CreateOleObject("test.echo");
  Variant b = CreateOleObject("Test.Echo");
  EXPECT_FALSE(a.sameAs(b)) << "each creation is a separate instance";
  UnregisterProgId("Test.Echo");
  EXPECT_FALSE(IsProgIdRegistered("Test.Echo"));
}

}  // namespace
