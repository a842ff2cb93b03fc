// Controller: the status line, and the three ways data enters or leaves:
// opening a file, downloading the corpus, submitting the own contribution.
//
// Sections:
//   1. the status line
//   2. running out of memory: one rule for every user action
//   3. reading a document, from a file or from the network
//   4. opening a file
//   5. downloading and merging the corpus
//   6. submitting
#include "app/Controller.h"

#include <cstring>
#include <new>
#include <string>
#include <unordered_set>

#include "foundation/Data.h"
#include "foundation/Files.h"
#include "foundation/JSON.h"
#include "foundation/Map.h"
#include "foundation/Number.h"
#include "foundation/Pool.h"
#include "foundation/WideText.h"
#include "net/Net.h"
#include "ux/panels/UXOpenPanel.h"

namespace quorl {

namespace {
constexpr const char* kOurSchema = "quorl-bench/1";
constexpr const char* kTooMuchMemory = "it would take too much memory to open";
}  // namespace

// ---------------------------------------------------------------------------
// 1. The status line

// Every message is one line of the program's own words, and the texts
// from outside that it quotes (a file's name, a server's words) come in it
// last, each through Stdio::quote: the label shows it on one line, the
// terminal gets no control byte of theirs, and a long one leaves the words
// before it in sight.
void Controller::say(const Ref<String>& message) {
  Ref<String> text = Stdio::lineOfQuoted(message);
  lastStatus = text;
  if (statusLabel) statusLabel->setText(text->cString());
  repaintNow();
  Ref<String> line = String::withString(text);
  line->appendByte('\n');
  print(line);
}

void Controller::print(const Ref<String>& line) {
  if (!Stdio::_putString(line)) outputLost = true;
  if (transcript) transcript->append(line);
}

// ---------------------------------------------------------------------------
// 2. Running out of memory: one rule for every user action

// The data set and the download are never changed in place: every change
// installs new arrays, so that holding the old ones is all it takes to put
// them back.
void Controller::perform(const std::function<void()>& action, const std::function<void()>& failed) {
  Ref<const Array> contributions = dataSet->held();
  Ref<Array> lastDownload = downloaded;
  Ref<Contribution> own = ownContribution;
  try {
    action();
    return;
  } catch (const std::bad_alloc&) {
  }
  // What the action made is gone with its frames; flags it left raised on
  // the way would stop every later pick or placement.
  updating = false;
  placingChart_ = false;
  const bool changed = dataSet->held() != contributions;
  dataSet->replace(std::move(contributions));
  downloaded = std::move(lastDownload);
  ownContribution = std::move(own);
  pool::trim();
  try {
    rebuild(changed);
    failed ? failed() : say(kNoMemory);
  } catch (const std::bad_alloc&) {
    // Not even that could be had: the data stands as it was, and the next
    // rebuild makes its views.
  }
}

Controller::Added Controller::appendAll(Ptr<const Array> added, bool download) {
  // Whichever way a result set comes (a file opened twice, the corpus that
  // holds what the user opened and submitted), it is held once. A download
  // replaces the one before, but what the user opened stays until the
  // program ends: a file whose results the download brought makes them the
  // user's, and they leave the download.
  const DataSet::Merged merged = dataSet->merge(added, download ? downloaded.get() : nullptr);
  Added out;
  for (uint32_t i = 0; i < added->count(); i++) {
    if (Ref<Contribution> c = cast<Contribution>(added->get(i))) {
      out.impossibleTimes += int32_t(c->impossibleTimes);
      out.runsWithoutTime += int32_t(c->runsWithoutTime);
      out.runsWithoutBest += int32_t(c->runsWithoutBest());
    }
  }
  out.runs = int32_t(merged.runsAdded);
  out.alreadyLoaded = int32_t(merged.runsMatched);
  out.contributions = merged.added;
  if (download) {
    downloaded = merged.added;
  } else if (!merged.matched->isEmpty() && !downloaded->isEmpty()) {
    std::unordered_set<const Object*> opened;
    for (const Ref<Object>& c : *merged.matched) opened.insert(c.get());
    Ref<Array> rest = make<Array>();
    for (const Ref<Object>& c : *downloaded)
      if (!opened.count(c.get())) rest->add(c);
    downloaded = rest;
  }
  return out;
}

Ref<String> Controller::runsText(const Added& added) {
  return String::withFormat(added.alreadyLoaded > 0 ? "%d new runs" : "%d runs", added.runs);
}

Ref<String> Controller::leftOutText(const Added& added) {
  Ref<String> text = make<String>();
  auto part = [&text](int32_t count, const char* one, const char* many) {
    if (count <= 0) return;
    if (!text->isEmpty()) text->appendCString("; ");
    text->appendFormat(count == 1 ? one : many, count);
  };
  part(added.alreadyLoaded, "%d already loaded", "%d already loaded");
  part(added.impossibleTimes, "%d impossible time left out", "%d impossible times left out");
  part(added.runsWithoutTime, "%d run with no possible time left out", "%d runs with no possible time left out");
  part(added.runsWithoutBest, "%d run with no best time", "%d runs with no best time");
  return text;
}

void Controller::withdrawConsent() {
  if (!publishBox || publishBox->state == 0) return;
  publishBox->state = 0;
  publishBox->setNeedsDisplayInRect(publishBox->absoluteFrame());
}

// ---------------------------------------------------------------------------
// 3. Reading a document, from a file or from the network

namespace {

// What reading a document may take in memory: kOpenBytesPerByte times its
// size, and kOpenFloor for any document. Its text (held while it is read,
// and made anew from UTF-16), the parse, the loaders and the views spend
// from it what they take: the values of the document, the contributions
// and runs made of them, and kViewBytesPerRun for each run's share of the
// views (its chart row, its table row and texts). The parse
// spends that share on every object as it reads it, since most objects
// become a run, a contribution or a run's parameters, and a loader on each
// run it makes of something else (a run.py number): a document of empty
// objects is then given up early. Result files take a fraction of this; a
// file of empty objects, tiny numbers or run.py entries would take far
// more.
constexpr uint64_t kOpenBytesPerByte = 10;
constexpr uint64_t kOpenFloor = uint64_t(64) << 20;
constexpr uint32_t kViewBytesPerRun = 512;

enum class Encoding { utf8, utf16, badUtf16 };

// The document's UTF-8 text: after a UTF-8 byte-order mark, or made from
// UTF-16 after its mark in either byte order, as Windows PowerShell writes
// with ">". Any other text is taken as UTF-8.
Encoding utf8Text(Ref<String>& text, uint32_t& skip) {
  skip = 0;
  const uint32_t n = text->byteLength();
  const auto* bytes = reinterpret_cast<const uint8_t*>(text->cString());
  if (n >= 3 && std::memcmp(bytes, "\xEF\xBB\xBF", 3) == 0) {
    skip = 3;
    return Encoding::utf8;
  }
  const bool little = n >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
  const bool big = n >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF;
  if (!little && !big) return Encoding::utf8;
  std::string converted;
  const bool valid = WideText::utf8FromBytes(bytes + 2, n - 2, big, converted);
  text.reset();  // the UTF-16 bytes are not needed any more
  if (!valid) return Encoding::badUtf16;
  text = String::withBytes(converted.data(), uint32_t(converted.size()));
  return Encoding::utf16;
}

}  // namespace

Controller::Reading Controller::readDocument(Ref<String> text, const Ref<String>& source) {
  Reading reading;
  try {
    JSON::Budget budget{uint64_t(text->byteLength()) * kOpenBytesPerByte + kOpenFloor, kViewBytesPerRun};
    budget.spend(text->byteLength());
    uint32_t skip = 0;
    const Encoding encoding = utf8Text(text, skip);
    if (encoding == Encoding::badUtf16) {
      reading.failure = "not valid UTF-16 text";
      return reading;
    }
    if (encoding == Encoding::utf16) budget.spend(text->byteLength());
    try {
      reading.document = JSON::_parseBytes(text->_bytesAt(skip), text->byteLength() - skip, budget);
    } catch (const JSONError& error) {
      if (!source) return reading;
      reading.contributions = make<Array>();
      if (error.position() != kNotFound) {
        reading.jsonEndsEarly = error.position() >= text->byteLength() - skip;
        reading.jsonAt = encoding == Encoding::utf8 ? error.position() + skip : error.position();
      }
      return reading;
    }
    text.reset();
    if (source) reading.contributions = Contribution::loadObject(reading.document, source, &budget);
    reading.spent = budget.spent;
  } catch (const std::bad_alloc&) {
    // Past the budget, or memory ran out: this document is given up, and
    // nothing of it is kept.
    reading = Reading{};
    text.reset();
    pool::trim();
    reading.failure = kTooMuchMemory;
  }
  return reading;
}

// ---------------------------------------------------------------------------
// 4. Opening a file

Ref<String> Controller::Reading::jsonFault() const {
  if (jsonAt == kNotFound) return nullptr;
  return String::withFormat(jsonEndsEarly ? "the JSON ends early at byte %u" : "not JSON (byte %u)", jsonAt);
}

void Controller::loadFile(const Ref<String>& path) {
  // Made when said: memory may have run out before.
  const auto name = [&] { return Stdio::quote(Files::nameOf(path)); };
  const auto refuse = [&](const char* reason) {
    say(String::withFormat("Could not read (%s): %s", reason, name()->cString()));
  };
  perform(
      [&] {
        // Nothing past the reply cap of the network layer is read, whatever
        // size the file reports: holding all of it in memory would serve no
        // purpose.
        FileFailure failure = FileFailure::none;
        Ref<String> text = Files::readText(path, uint64_t(kMaxFileBytes), &failure);
        if (!text) {
          switch (failure) {
            case FileFailure::missing: return refuse("no such file");
            case FileFailure::folder: return refuse("a folder, not a file");
            case FileFailure::notRegular: return refuse("not a regular file");
            case FileFailure::tooLarge:  // said in the unit of the check, 2^20 bytes
              return refuse(
                  String::withFormat("the file is larger than %d MiB", int32_t(kMaxFileBytes >> 20))->cString());
            default: return refuse("the file could not be read");
          }
        }
        if (text->isEmpty()) return refuse("the file is empty");
        Reading reading = readDocument(std::move(text), path);
        if (reading.failure) return refuse(reading.failure);
        if (const Ref<String> fault = reading.jsonFault()) return refuse(fault->cString());
        const Ref<Array> list = reading.contributions;
        if (!list || list->count() == 0)
          return refuse("not a contribution, a run.py results.json or a par results.json");
        const Added added = appendAll(list, false);
        // Only a file that is one contribution document is the user's own:
        // the members of a corpus or of an array are other people's results,
        // and Submit would publish them under the user's consent. A file
        // opened again is the own one again, though its results were loaded
        // already. A consent was given for the contribution it was given
        // for: a new one needs its own.
        Ref<Contribution> single = list->count() == 1 ? cast<Contribution>(list->get(0)) : nullptr;
        if (single && single->root && single->root.get() == reading.document.get() && single->schema &&
            single->schema->equalsIgnoringCase(String::withCString(kOurSchema))) {
          ownContribution = single;
          withdrawConsent();
        }
        reading = Reading{};
        rebuild(true);
        const Ref<String> leftOut = leftOutText(added);
        const bool some = !leftOut->isEmpty();
        say(String::withFormat("Opened %s%s%s%s: %s", runsText(added)->cString(), some ? " (" : "",
                               leftOut->cString(), some ? ")" : "", name()->cString()));
      },
      [&] { refuse(kTooMuchMemory); });
}

// Its menu item and button already run it as a user action.
void Controller::onOpen(const Ref<UXMenuItem>&) {
  // The driver's native dialog when it has one, else the toolkit's panel.
  UXCString path = UXOpenPanel::run("Open a contribution", ".");
  if (!path) return;
  UXBusyStep step(window);
  loadFile(String::withCString(path.get()));
}

void Controller::onOpenControl(const Ref<UXView>&) { onOpen(nullptr); }

// ---------------------------------------------------------------------------
// 5. Downloading and merging the corpus

Ref<String> Controller::serverAddress(const char* path) {
  Ref<String> server = Net::server();
  return server ? String::withFormat("%s%s", server->cString(), path) : nullptr;
}

void Controller::onDownload(const Ref<UXMenuItem>&) {
  perform(
      [&] {
        say("Fetching the corpus...");
        UXBusyStep step(window);
        // No address: the reason is Net's last error, and nothing is sent.
        Ref<String> url = serverAddress("/benchmarks/corpus.php");
        mergeCorpus(url ? Net::get(url) : nullptr);
      },
      [&] { say(String::withFormat("Could not read the corpus: %s", kTooMuchMemory)); });
}

void Controller::onDownloadControl(const Ref<UXView>&) { onDownload(nullptr); }

void Controller::mergeCorpus(const Ref<String>& text) {
  const auto refuse = [&](const char* reason) { say(String::withFormat("Could not read the corpus: %s", reason)); };
  if (!text) return refuse(Stdio::quote(Net::lastError())->cString());
  bool replaced = false;
  perform(
      [&] {
        Reading reading = readDocument(text, String::withCString("corpus"));
        if (reading.failure) return refuse(reading.failure);
        if (const Ref<String> fault = reading.jsonFault()) return refuse(fault->cString());
        if (reading.contributions->count() == 0) return say("The corpus had no contributions.");
        // A new download replaces the previous one: appending it again
        // would show every downloaded run twice. Files the user opened stay.
        replaced = !downloaded->isEmpty();
        const Added added = appendAll(reading.contributions, true);
        reading = Reading{};
        rebuild(true);
        const Ref<String> leftOut = leftOutText(added);
        const bool some = !leftOut->isEmpty();
        say(String::withFormat("Downloaded %s in %d result sets%s%s%s.", runsText(added)->cString(),
                               int32_t(downloaded->count()), some ? " (" : "", leftOut->cString(), some ? ")" : ""));
      },
      [&] { refuse(kTooMuchMemory); });
  // The previous corpus went with the rebuild and with perform's hold on
  // it: its memory goes back to the system now rather than when the pool
  // next looks.
  if (replaced) pool::trim();
}

// ---------------------------------------------------------------------------
// 6. Submitting

Ref<String> Controller::ownContributionText() const {
  if (!ownContribution || !ownContribution->root) return nullptr;
  try {
    return JSON::stringify(ownContribution->root);
  } catch (const JSONError&) {
    return nullptr;
  }
}

void Controller::onSubmit(const Ref<UXMenuItem>&) {
  bool sent = false;  // from here on the run may be on the server
  perform([&] { submit(sent); },
          [&] {
            say(sent ? "Submit failed: not enough memory; the run may have reached the server"
                     : "Submit failed: not enough memory");
          });
}

void Controller::submit(bool& sent) {
  if (!publishBox || publishBox->state == 0) {
    say("Tick \"I agree to publish this run\" before submitting.");
    return;
  }
  if (!ownContribution || !ownContribution->root) {
    say("Nothing to submit: open your own quorl-bench JSON first (diy.py writes it).");
    return;
  }
  Ref<String> body = ownContributionText();
  if (!body) {
    say("The contribution could not be serialised.");
    return;
  }
  say("Submitting...");
  UXBusyStep step(window);
  // No address: the reason is Net's last error, and nothing is sent.
  Ref<String> url = serverAddress("/benchmarks/submit.php");
  sent = url != nullptr;
  Ref<HttpResponse> response = url ? Net::post(url, body, kMaxReplyBytes) : nullptr;
  if (!response) {
    say(String::withFormat("Submit failed: %s", Stdio::quote(Net::lastError())->cString()));
    return;
  }
  // The reply is read as every outside document is, within its budget.
  Ref<Map> reply;
  if (response->body) {
    Reading reading = readDocument(String::withBytes(response->body->bytes(), response->body->length()), nullptr);
    // Memory ran out on the way: that is no refusal, and the rule for every
    // action tells it.
    if (reading.failure == kTooMuchMemory) throw std::bad_alloc();
    reply = cast<Map>(reading.document);
  }
  Ref<String> id = reply ? BHelp::field(reply, "id") : nullptr;
  Ref<String> error = reply ? BHelp::field(reply, "error") : nullptr;
  // Any 2xx is the server taking the run (201 Created among them); one that
  // gives a reason and no id is a refusal, not a success. A 2xx without a
  // body by its status (204) took it and told nothing more.
  // What the server wrote comes last, after a colon; when it wrote nothing
  // the words say so in another form, which no text of its can take. A
  // count the server did not write as one is not told at all: no made-up
  // 0, no number wrapped negative.
  if (response->succeeded() && (reply || response->hasNoBody()) && (id || !error)) {
    withdrawConsent();  // given for this submission, which has been made
    const Ref<String> count = replyCount(reply);
    const Ref<String> held = count ? String::withFormat("; the corpus holds %s contribution(s)", count->cString())
                                   : String::withCString("");
    say(id ? String::withFormat("Submitted%s; the run's id: %s", held->cString(), Stdio::quote(id)->cString())
           : String::withFormat("Submitted%s; the server gave the run no id", held->cString()));
    return;
  }
  const int32_t status = int32_t(response->status);
  say(error ? String::withFormat("The server refused the run (%d): %s", status, Stdio::quote(error)->cString())
            : String::withFormat("The server refused the run (%d) and gave no reason", status));
}

Ref<String> Controller::replyCount(Ptr<const Map> reply) {
  const Ref<Number> count = reply ? cast<Number>(reply->get("count")) : nullptr;
  if (!count || count->isBool() || !count->isInteger()) return nullptr;
  // From 2^63 up the reader keeps the value unsigned: its integer view is
  // negative, its text the digits as written.
  if (!count->isUnsigned() && count->integerValue() < 0) return nullptr;
  return count->description();
}

void Controller::onSubmitControl(const Ref<UXView>&) { onSubmit(nullptr); }

}  // namespace quorl
