// Logging: the exact lines on standard output, filtering, channels and
// monitors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LogCapture.h"
#include "foundation/Array.h"
#include "foundation/Log.h"
#include "foundation/String.h"

namespace quorl {
namespace {

Ref<String> str(const std::string& bytes) { return String::withBytes(bytes.data(), static_cast<uint32_t>(bytes.size())); }

std::string sent(Ptr<const String> name, uint8_t level, Ptr<const String> message) {
  return captureStdout([&] { Log::_send(name, level, message); });
}

TEST(LogTest, LinesByLevel) {
  struct Case {
    const char* name;  // null: no name
    uint8_t level;
    std::string message;
    std::string line;
  };
  const std::vector<Case> cases = {
      {nullptr, 2, "disk almost full", "warning: disk almost full\n"},
      {"net", 3, "connection refused", "error: net: connection refused\n"},
      {nullptr, 1, "Opened a.json (3 runs)", "Opened a.json (3 runs)\n"},
      {"", 1, "no prefix for an empty name", "no prefix for an empty name\n"},
      {"", 2, "m", "warning: m\n"},
      {"tls", 1, "ready", "tls: ready\n"},
      {nullptr, 7, "anything from 3 up is an error", "error: anything from 3 up is an error\n"},
      {nullptr, 255, "x", "error: x\n"},
      {nullptr, 0, "debug is below the global minimum", ""},
      {"net", 0, "so is a named debug message", ""},
      // A message carrying a server's words stays one line, its control bytes shown escaped.
      {"net", 2, "Url.fetch(http://h/\x1b]0;owned\x07\nerror: forged)", "warning: net: Url.fetch(http://h/\\x1B]0;owned\\x07\\nerror: forged)\n"},
      // Its backslashes too, so that a real ESC and the letters "\x1B" read apart, and its bidirectional controls.
      {"net", 2, "sent \\x1B, got \x1b; \xE2\x80\xAEtxt.exe", "warning: net: sent \\\\x1B, got \\x1B; \\xE2\\x80\\xAEtxt.exe\n"},
      // A line of a server's 40 kB is cut after its first 4,096 bytes, name and all.
      {"net", 1, std::string(40000, 'w'), "net: " + std::string(4091, 'w') + "\xE2\x80\xA6\n"},
  };
  for (const Case& c : cases) {
    Ref<String> name = c.name ? str(c.name) : nullptr;
    EXPECT_EQ(sent(name, c.level, str(c.message)), c.line) << c.message.substr(0, 80);
  }
}

TEST(LogTest, NullMessagesAndNulBytes) {
  EXPECT_EQ(sent(nullptr, 3, nullptr), "");
  EXPECT_EQ(sent(str("net"), 2, nullptr), "");
  EXPECT_EQ(sent(nullptr, 2, str(std::string("cut\0here", 8))), "warning: cut\n");
  EXPECT_EQ(sent(str("n"), 1, str(std::string("a\0b", 3))), "n: a\n");
  EXPECT_EQ(sent(nullptr, 1, make<String>()), "\n");
}

TEST(LogTest, SharedConsoleLogger) {
  Ref<ConsoleLogger> logger = Log::logger();
  EXPECT_EQ(Log::logger(), logger);
  EXPECT_TRUE(Log::_wired());
  EXPECT_TRUE(isA<Logger>(logger.get()));
  // The logger writes every level it is handed; filtering is Log's.
  EXPECT_EQ(captureStdout([&] { logger->debug(str("d")); }), "debug: d\n");
  EXPECT_EQ(captureStdout([&] { logger->info(str("i")); }), "i\n");
  EXPECT_EQ(captureStdout([&] { logger->warning(str("w")); }), "warning: w\n");
  EXPECT_EQ(captureStdout([&] { logger->error(str("e")); }), "error: e\n");
}

TEST(LogTest, NoColourIsEverWritten) {
  ConsoleLogger logger;
  EXPECT_EQ(std::string(logger.description()->view()), "<ConsoleLogger>(0, 0)");
  EXPECT_FALSE(logger._tty());
  EXPECT_EQ(std::string(logger.description()->view()), "<ConsoleLogger>(0, 1)");
  EXPECT_EQ(captureStdout([&] { logger.error(str("plain")); }), "error: plain\n");
}

// Counts how often its description is asked for, to tell whether a format
// was expanded.
class Counted : public Object {
 public:
  Ref<String> description() const override {
    ++calls;
    return String::withCString("counted");
  }
  mutable int calls = 0;
};

TEST(LogChannelTest, OwnMinimumLevelThenTheGlobalOne) {
  LogChannel channel(str("bench"), 2);
  EXPECT_EQ(std::string(channel.description()->view()), "<LogChannel>(2)");
  EXPECT_EQ(captureStdout([&] { channel.info(str("dropped by the channel")); }), "");
  EXPECT_EQ(captureStdout([&] { channel.warning(str("kept")); }), "warning: bench: kept\n");
  EXPECT_EQ(captureStdout([&] { channel.error(str("kept")); }), "error: bench: kept\n");
  channel.setMinLevel(0);
  EXPECT_EQ(captureStdout([&] { channel.info(str("now kept")); }), "bench: now kept\n");
  EXPECT_EQ(captureStdout([&] { channel.debug(str("still below the global minimum")); }), "");
  EXPECT_EQ(captureStdout([&] { channel.log(9, str("x")); }), "error: bench: x\n");
}

TEST(LogChannelTest, FormatForms) {
  LogChannel channel(str("net"));
  auto counted = make<Counted>();
  EXPECT_EQ(captureStdout([&] { channel.warning("%d redirects to %@", 3, counted); }),
            "warning: net: 3 redirects to counted\n");
  EXPECT_EQ(counted->calls, 1);
  EXPECT_EQ(captureStdout([&] { channel.info("%s", "plain"); }), "net: plain\n");
  EXPECT_EQ(captureStdout([&] { channel.error("%.1f ms", 2.25); }), "error: net: 2.2 ms\n");
  // Debug output is filtered anyway, so its format is never expanded.
  EXPECT_EQ(captureStdout([&] { channel.debug("%@", counted); }), "");
  EXPECT_EQ(counted->calls, 1);
}

class Watcher : public Object {
 public:
  std::vector<std::string> seen;
};

_LogMonitor::Function watch(const Ref<Watcher>& watcher) {
  _LogMonitor::Function block;
  block.target = watcher;
  block.function = [](const Ref<Object>& target, Ptr<const String> name, uint8_t level, Ptr<const String> message) {
    static_cast<Watcher*>(target.get())
        ->seen.push_back(std::string(name->view()) + "|" + std::to_string(level) + "|" + std::string(message->view()));
  };
  return block;
}

TEST(LogMonitorTest, MonitorsSeeDeliveredMessagesAndLeaveWhenTheirTargetGoes) {
  Ref<Array> saved = Log::_monitors();
  Log::_monitors() = nullptr;

  auto first = make<Watcher>();
  auto gone = make<Watcher>();
  auto last = make<Watcher>();
  Log::_addMonitor(make<_LogMonitor>(watch(first)));
  Log::_addMonitor(make<_LogMonitor>(watch(gone)));
  Log::_addMonitor(make<_LogMonitor>(watch(last)));
  ASSERT_EQ(Log::_monitors()->count(), 3u);

  EXPECT_EQ(sent(str("net"), 2, str("slow")), "warning: net: slow\n");
  EXPECT_EQ(sent(nullptr, 1, str("hi")), "hi\n");
  EXPECT_EQ(sent(nullptr, 0, str("filtered")), "");
  const std::vector<std::string> expected = {"net|2|slow", "|1|hi"};
  EXPECT_EQ(first->seen, expected);
  EXPECT_EQ(gone->seen, expected);
  EXPECT_EQ(last->seen, expected);

  gone.reset();
  sent(nullptr, 3, str("after"));
  EXPECT_EQ(Log::_monitors()->count(), 2u) << "the monitor of a released target is removed";
  EXPECT_EQ(first->seen.back(), "|3|after");
  EXPECT_EQ(last->seen.back(), "|3|after") << "the monitor that moved into the freed place is still called";

  Log::_monitors() = saved;
}

}  // namespace
}  // namespace quorl
