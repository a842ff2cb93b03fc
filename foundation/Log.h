// Console logging.
//
// Sections:
//   1. ConsoleLogger: one line a message on standard output
//   2. _LogMonitor: a block that observes every delivered message
//   3. LogChannel: a named source with its own minimum level
//   4. Log: the global filter and delivery
//
// Levels: 0 debug, 1 info, 2 warning, 3 and above error. The global minimum
// level is info, so debug lines are never written.
#pragma once

#include <cstdint>

#include "Object.h"
#include "String.h"

namespace quorl {

class Array;

// ---------------------------------------------------------------------------
// 1. ConsoleLogger. A line is the level's prefix, the text up to its first
//    NUL and a line feed; an info line is the bare text. Colour codes are
//    written only when `_tty` answers true, and it never does: the program's
//    output is read by scripts as often as by people.
class ConsoleLogger : public Object, public Logger {
 public:
  void error(Ptr<const String> text) override;
  void warning(Ptr<const String> text) override;
  void info(Ptr<const String> text) override;
  void debug(Ptr<const String> text) override;

  virtual void _emit(const char* colour, const char* reset, const char* prefix, Ptr<const String> text);
  virtual bool _tty();

  Ref<String> description() const override;
  const char* classNameC() const override { return "ConsoleLogger"; }

  uint8_t colourAnswer = 0;
  uint8_t answerDecided = 0;
};

// ---------------------------------------------------------------------------
// 2. _LogMonitor: called with (name, level, message) for every delivered
//    message while its target lives.
class _LogMonitor : public Object {
 public:
  using Function = Block<Ptr<const String> /*name*/, uint8_t /*level*/, Ptr<const String> /*message*/>;

  explicit _LogMonitor(Function block) : block(std::move(block)) {}
  const char* classNameC() const override { return "_LogMonitor"; }

  Function block;
};

// ---------------------------------------------------------------------------
// 3. LogChannel. Messages below the channel's own minimum are dropped before
//    they reach the global filter; the rest go out as "name: message".
class LogChannel : public Object {
 public:
  explicit LogChannel(Ref<String> name, uint8_t minLevel = 0) : name(std::move(name)), minLevel(minLevel) {}

  void setMinLevel(uint8_t level) { minLevel = level; }
  void log(uint8_t level, Ptr<const String> text);

  void debug(Ptr<const String> text) { log(0, text); }
  void info(Ptr<const String> text) { log(1, text); }
  void warning(Ptr<const String> text) { log(2, text); }
  void error(Ptr<const String> text) { log(3, text); }

  // The format forms build the text with String::appendFormat. Debug output
  // is filtered anyway in this program, so its form skips the formatting.
  template <class... Args> void debug(const char* format, const Args&... args);
  template <class... Args> void info(const char* format, const Args&... args) { logFormat(1, format, args...); }
  template <class... Args> void warning(const char* format, const Args&... args) {
    logFormat(2, format, args...);
  }
  template <class... Args> void error(const char* format, const Args&... args) { logFormat(3, format, args...); }

  Ref<String> description() const override;
  const char* classNameC() const override { return "LogChannel"; }

  Ref<String> name;
  uint8_t minLevel = 0;

 private:
  template <class... Args> void logFormat(uint8_t level, const char* format, const Args&... args) {
    Ref<String> text = make<String>();
    text->appendFormat(format, args...);
    log(level, text);
  }
};

// ---------------------------------------------------------------------------
// 4. Log: static operations over the process-wide logging state.
class Log final : public Object {
 public:
  Log() = delete;
  const char* classNameC() const override { return "Log"; }

  // Drops a null message and anything below the global minimum; otherwise
  // hands "name: message" (or the bare message when the name is null or
  // empty) to the shared logger and then to every live monitor.
  static void _send(Ptr<const String> name, uint8_t level, Ptr<const String> message);

  // The shared logger, made by the first call and kept for the process.
  static Ref<ConsoleLogger> logger();
  static bool _wired();

  static constexpr uint8_t kDebug = 0, kInfo = 1, kWarning = 2, kError = 3;
  static uint8_t _minLevel() { return kInfo; }

  // The monitor list: null until a monitor is added. Holds _LogMonitor
  // objects; monitors whose target is gone are dropped as they are met.
  static Ref<Array>& _monitors();
  static void _addMonitor(Ref<_LogMonitor> monitor);
};

template <class... Args> void LogChannel::debug(const char* format, const Args&... args) {
  if (minLevel > 0 || Log::_minLevel() > 0) return;
  logFormat(0, format, args...);
}

}  // namespace quorl
