#include "platform/UserInteraction.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <unistd.h>
#include <fstream>

#include "tests/support/Scratch.h"

using namespace platform;
using namespace test_support;

namespace {

TEST(UI, ScopedInstallationsNestAndRestoreTheConsole) {
  UserInteraction* console = &UI();
  EXPECT_NE(dynamic_cast<ConsoleInteraction*>(console), nullptr);
  ScriptedInteraction outer, inner;
  {
    ScopedUI first(&outer);
    EXPECT_EQ(&UI(), &outer);
    {
      ScopedUI second(&inner);
      EXPECT_EQ(&UI(), &inner);
    }
    EXPECT_EQ(&UI(), &outer);
  }
  EXPECT_EQ(&UI(), console);
}

TEST(ScriptedInteraction, AnswersFromQueuesThenDefaultsAndLogsEverything) {
  ScriptedInteraction script;
  script.messageAnswers = {MsgResult::No};
  script.overwriteAnswers = {{2, "/data/new.doc"}};
  script.inputAnswers = {std::string("Мой оттиск")};

  EXPECT_EQ(script.messageBox("Удалить?", "Внимание!", MsgIcon::Question, MsgButtons::YesNo),
            MsgResult::No);
  EXPECT_EQ(script.messageBox("Готово", "", MsgIcon::None, MsgButtons::Ok), MsgResult::Ok);
  EXPECT_EQ(script.askOverwrite("/data", "/data/col.doc").newName, "/data/new.doc");
  EXPECT_EQ(script.askOverwrite("/data", "/data/col.doc").result, 0);
  EXPECT_EQ(script.inputBox("Имя", "Введите имя", ""), "Мой оттиск");
  EXPECT_EQ(script.inputBox("Имя", "Введите имя", "x"), std::nullopt);
  script.beginProgress("Печать", 3);
  script.stepProgress();
  script.endProgress();

  ASSERT_EQ(script.messages.size(), 2u);
  EXPECT_EQ(script.messages[0].caption, "Внимание!");
  EXPECT_EQ(script.log, (std::vector<std::string>{"message: Удалить?", "message: Готово",
                                                  "overwrite: /data/col.doc",
                                                  "overwrite: /data/col.doc", "input: Введите имя",
                                                  "input: Введите имя", "progress: Печать"}));
  EXPECT_EQ(script.progressMax + script.progressBegun + script.progressSteps, 5);
}

// With no terminal nothing may be agreed to on the user's behalf.
TEST(ConsoleInteraction, WithoutATerminalTakesTheCautiousAnswers) {
  std::string errFile = NewFolder("console") + "/stderr";
  int failures = ExitCodeOfChild([&] {
    dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
    dup2(open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
    ConsoleInteraction console;
    int bad = 0;
    bad +=
        console.messageBox("text", "Внимание!", MsgIcon::Warning, MsgButtons::Ok) != MsgResult::Ok;
    bad += console.messageBox("t", "c", MsgIcon::None, MsgButtons::OkCancel) != MsgResult::Ok;
    bad += console.messageBox("t", "c", MsgIcon::None, MsgButtons::YesNo) != MsgResult::No;
    bad +=
        console.messageBox("t", "c", MsgIcon::None, MsgButtons::YesNoCancel) != MsgResult::Cancel;
    bad += console.askOverwrite("/d", "/d/c.doc").result != 1;
    bad += console.inputBox("c", "p", "default").has_value();
    console.beginProgress("Работаю", 2);
    console.stepProgress();
    console.endProgress();
    return bad;
  });
  EXPECT_EQ(failures, 0);
  std::ifstream in(errFile);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.rfind("[Внимание!] text\n", 0), 0u) << text;
  EXPECT_NE(text.find("Работаю\n"), std::string::npos);
  EXPECT_EQ(text.find('\r'), std::string::npos) << "no counter when stderr is a file";
}

}  // namespace
