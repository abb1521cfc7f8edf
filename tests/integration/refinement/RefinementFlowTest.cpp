// The recording controller with refinement on, over the real refiner and curl session and a
// loopback server: what the server's reply makes the capsule show and what gets delivered. The
// other services are fakes on virtual time, which the curl worker posts into.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "LoopbackServer.h"
#include "app/AppDelegate.h"
#include "fakes/CallLog.h"
#include "fakes/FakeAlerts.h"
#include "fakes/FakeApplication.h"
#include "fakes/FakeHotkeySettingsWindow.h"
#include "fakes/FakeKeyMonitor.h"
#include "fakes/FakeOverlayPanel.h"
#include "fakes/FakePreferences.h"
#include "fakes/FakeSettingsWindow.h"
#include "fakes/FakeSounds.h"
#include "fakes/FakeSpeechEngine.h"
#include "fakes/FakeStatusBar.h"
#include "fakes/FakeSystemLog.h"
#include "fakes/FakeTextInjector.h"
#include "fakes/FakeWorkspace.h"
#include "fakes/ThreadSafeFakeMainQueue.h"
#include "platform/PreferenceKeys.h"
#include "platform/curl/CurlHttpSession.h"
#include "refinement/LLMRefiner.h"

namespace vellotype {
namespace {

using testing::LoopbackServer;

struct FlowHarness {
  FlowHarness() {
    preferences.setBool(prefs::kLLMEnabled, true);
    preferences.setString(prefs::kLLMAPIKey, "sk-flow");
    preferences.setString(prefs::kLLMAPIBaseURL, server.url("/v1"));
    app = std::make_shared<AppDelegate>(
        AppDelegate::Services{queue, preferences, sounds, alerts, systemLog, statusBar, application,
                              workspace, "file:///help"},
        AppDelegate::Components{
            .keyMonitor = std::make_shared<FakeKeyMonitor>(log),
            .speechEngine = speech,
            .textInjector = std::make_shared<FakeTextInjector>(log),
            .refiner = refiner,
            .makeOverlayPanel = [this] { return std::make_shared<FakeOverlayPanel>(log); },
            .makeHotkeySettingsWindow =
                [this] { return std::make_shared<FakeHotkeySettingsWindow>(log); },
            .makeSettingsWindow = [this] { return std::make_shared<FakeSettingsWindow>(log); },
        });
    app->applicationDidFinishLaunching();
  }
  ~FlowHarness() { std::filesystem::remove_all(folder); }

  std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("vellotype-flow-" + std::to_string(getpid()));
  ThreadSafeFakeMainQueue queue;
  CallLog log{queue.clock()};
  FakePreferences preferences;
  FakeSounds sounds{log};
  FakeAlerts alerts{log};
  FakeSystemLog systemLog{log};
  FakeStatusBar statusBar{log};
  FakeApplication application{log};
  FakeWorkspace workspace{log};
  DiagnosticLog diagnostics{folder / "Vellotype.log"};
  LoopbackServer server;
  CurlHttpSession session;
  LLMRefiner refiner{preferences, session, queue, diagnostics};
  std::shared_ptr<FakeSpeechEngine> speech = std::make_shared<FakeSpeechEngine>(log);
  std::shared_ptr<AppDelegate> app;
};

TEST(RefinementFlow, TheServersReplyDecidesWhatIsShownAndDelivered) {
  const auto answer = [](const std::string& content) {
    return nlohmann::json{{"choices", {{{"message", {{"content", content}}}}}}}.dump();
  };
  const std::string failed = "Refine failed: Invalid response from LLM API";
  const struct {
    int status;
    std::string body;
    std::vector<std::string> calls;  // once the reply is in
  } cases[] = {
      {200, answer("hello world"), {"overlay: dismiss", "inject: hello world", "sound: Pop"}},
      {200,
       answer("Hello, world."),
       {"overlay: text \u2728 Hello, world.", "overlay: dismiss", "inject: Hello, world.",
        "sound: Pop"}},
      {401,
       R"({"error":{"message":"Incorrect API key provided"}})",
       {"syslog: [LLMRefiner] " + failed, "overlay: text " + failed, "overlay: dismiss",
        "inject: hello world", "sound: Pop"}},
  };
  for (const auto& c : cases) {
    FlowHarness flow;
    flow.server.answerWith([&c](const httplib::Request&, httplib::Response& response) {
      response.status = c.status;
      response.set_content(c.body, "application/json");
    });
    flow.app->triggerDown();
    flow.speech->onPartialResult("hello world");
    flow.app->triggerUp();
    flow.speech->onFinalResult("hello world");
    const auto mark = flow.log.size();
    ASSERT_EQ(flow.log.calls().back(), "overlay: text Refining...");

    ASSERT_TRUE(flow.queue.runUntil([&] { return flow.log.size() > mark; })) << c.body;
    flow.queue.advanceBy(2);
    EXPECT_EQ(flow.log.callsSince(mark), c.calls) << c.body;
  }
}

}  // namespace
}  // namespace vellotype
