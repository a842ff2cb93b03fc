#include "Log.h"

#include <cstring>

#include "Array.h"

namespace quorl {

namespace {

Ref<ConsoleLogger> gLogger;
bool gWired = false;

}  // namespace

// ---------------------------------------------------------------------------
// ConsoleLogger

void ConsoleLogger::error(Ptr<const String> text) { _emit("\x1b[31m", "\x1b[0m", "error: ", text); }
void ConsoleLogger::warning(Ptr<const String> text) { _emit("\x1b[33m", "\x1b[0m", "warning: ", text); }
void ConsoleLogger::info(Ptr<const String> text) { _emit("", "", "", text); }
void ConsoleLogger::debug(Ptr<const String> text) { _emit("\x1b[2m", "\x1b[0m", "debug: ", text); }

void ConsoleLogger::_emit(const char* colour, const char* reset, const char* prefix, Ptr<const String> text) {
  const bool tty = _tty();
  if (tty) Stdio::_emitStr(colour);
  Stdio::_emitStr(prefix);
  if (text) {
    // Messages carry texts from outside (addresses, a server's words): one
    // line with its control bytes escaped and its length bounded, up to its
    // first 0 byte as ever.
    const uint8_t* bytes = text->_bytesAt(0);
    const void* nul = bytes ? std::memchr(bytes, 0, text->byteLength()) : nullptr;
    const uint32_t n = nul ? uint32_t(static_cast<const uint8_t*>(nul) - bytes) : text->byteLength();
    Stdio::_putString(Stdio::lineOf(bytes, n, Stdio::kLineLimit));
  }
  if (tty) Stdio::_emitStr(reset);
  Stdio::_emitStr("\n");
}

bool ConsoleLogger::_tty() {
  if (!answerDecided) {
    colourAnswer = 0;
    answerDecided = 1;
  }
  return colourAnswer != 0;
}

Ref<String> ConsoleLogger::description() const {
  const uint16_t values[2] = {colourAnswer, answerDecided};
  return String::_classDescribe("ConsoleLogger", values, 2, 0);
}

// ---------------------------------------------------------------------------
// LogChannel

void LogChannel::log(uint8_t level, Ptr<const String> text) {
  if (level < minLevel) return;
  Log::_send(name, level, text);
}

Ref<String> LogChannel::description() const {
  const uint16_t values[1] = {minLevel};
  return String::_classDescribe("LogChannel", values, 1, 0);
}

// ---------------------------------------------------------------------------
// Log

Ref<ConsoleLogger> Log::logger() {
  if (!gLogger) {
    gLogger = make<ConsoleLogger>();
    gWired = true;
  }
  return gLogger;
}

bool Log::_wired() { return gWired; }

Ref<Array>& Log::_monitors() {
  static Ref<Array> monitors;
  return monitors;
}

void Log::_addMonitor(Ref<_LogMonitor> monitor) {
  Ref<Array>& monitors = _monitors();
  if (!monitors) monitors = make<Array>();
  monitors->add(std::move(monitor));
}

void Log::_send(Ptr<const String> name, uint8_t level, Ptr<const String> message) {
  if (level < _minLevel() || !message) return;
  Ref<String> prefixed;
  if (name && name->byteLength() > 0) {
    prefixed = String::withBytes(name->_bytesAt(0), name->byteLength());
    prefixed->appendCString(": ");
    prefixed->append(message);
  }
  const Ptr<const String> text = prefixed ? Ptr<const String>(prefixed) : message;
  Ref<ConsoleLogger> out = logger();
  if (level >= kError) {
    out->error(text);
  } else if (level == kWarning) {
    out->warning(text);
  } else if (level == kInfo) {
    out->info(text);
  } else {
    out->debug(text);
  }

  Ref<Array>& monitors = _monitors();
  if (!monitors) return;
  Ref<String> noName;
  if (!name) noName = make<String>();
  const Ptr<const String> monitorName = name ? name : Ptr<const String>(noName);
  for (uint32_t i = 0; i < monitors->count();) {
    const Ref<Object> entry = monitors->get(i);  // held: a block may change the list
    const _LogMonitor* monitor = dynamic_cast<const _LogMonitor*>(entry.get());
    if (monitor && monitor->block.target.expired()) {
      monitors->removeAt(i);  // the next monitor moved into place i
      continue;
    }
    if (monitor) monitor->block.call(monitorName, level, message);
    ++i;
  }
}

}  // namespace quorl
