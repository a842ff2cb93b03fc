// Controller: the status line, and the three ways data enters or leaves:
// opening a file, downloading the corpus, submitting the own contribution.
//
// Sections:
//   1. the status line
//   2. reading a document, from a file or from the network
//   3. opening a file
//   4. downloading and merging the corpus
//   5. submitting
#include "app/Controller.h"

#include <cstring>
#include <new>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "foundation/Data.h"
#include "foundation/Files.h"
#include "foundation/JSON.h"
#include "foundation/Map.h"
#include "foundation/Pool.h"
#include "foundation/WideText.h"
#include "net/Net.h"
#include "ux/panels/UXOpenPanel.h"

namespace quorl {

namespace {
constexpr const char* kOurSchema = "quorl-bench/1";
}  // namespace

// ---------------------------------------------------------------------------
// 1. The status line

void Controller::say(const Ref<String>& message) {
  Ref<String> text = message ? message : make<String>();
  lastStatus = text;
  if (statusLabel) statusLabel->setText(text->cString());
  repaintNow();
  Ref<String> line = String::withString(text);
  line->appendByte('\n');
  Stdio::_putString(line);
  if (transcript) transcript->append(line);
}

Controller::Added Controller::appendAll(Ptr<const Array> contributions) {
  // Whichever way a result set comes (a file opened twice, the corpus that
  // holds what the user opened and submitted), it is counted once.
  Added added;
  added.contributions = make<Array>();
  std::unordered_multimap<uint64_t, const Contribution*> held;
  const Array& loaded = *dataSet->contributions;
  for (uint32_t i = 0; i < loaded.count(); i++)
    if (Ref<Contribution> c = cast<Contribution>(loaded.get(i))) held.emplace(c->resultsHash(), c.get());
  uint32_t runs = 0, already = 0, impossible = 0;
  for (uint32_t i = 0; i < contributions->count(); i++) {
    Ref<Contribution> c = cast<Contribution>(contributions->get(i));
    if (!c) continue;
    impossible += c->impossibleRuns;
    const uint64_t hash = c->resultsHash();
    bool known = false;
    for (auto [at, end] = held.equal_range(hash); at != end && !known; ++at) known = at->second->sameResults(*c);
    if (known) {
      already += c->runs->count();
      continue;
    }
    dataSet->contributions->add(c);
    added.contributions->add(c);
    held.emplace(hash, c.get());
    runs += c->runs->count();
  }
  added.runs = int32_t(runs);
  added.alreadyLoaded = int32_t(already);
  added.impossible = int32_t(impossible);
  return added;
}

Ref<String> Controller::runsText(const Added& added) {
  return String::withFormat(added.alreadyLoaded > 0 ? "%d new runs" : "%d runs", added.runs);
}

Ref<String> Controller::leftOutText(const Added& added) {
  Ref<String> text = make<String>();
  if (added.alreadyLoaded > 0) text->appendFormat("%d already loaded", added.alreadyLoaded);
  if (added.impossible > 0) {
    if (!text->isEmpty()) text->appendCString("; ");
    text->appendFormat("%d runs with impossible times left out", added.impossible);
  }
  return text;
}

// ---------------------------------------------------------------------------
// 2. Reading a document, from a file or from the network

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

constexpr const char* kTooMuchMemory = "it would take too much memory to open";

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
      reading.contributions = make<Array>();
      if (error.position() != kNotFound) {
        reading.jsonEndsEarly = error.position() >= text->byteLength() - skip;
        reading.jsonAt = encoding == Encoding::utf8 ? error.position() + skip : error.position();
      }
      return reading;
    }
    text.reset();
    reading.contributions = Contribution::loadObject(reading.document, source, &budget);
    reading.spent = budget.spent;
  } catch (const std::bad_alloc&) {
    reading = Reading{};
    text.reset();
    pool::trim();
    reading.failure = kTooMuchMemory;
  }
  return reading;
}

// ---------------------------------------------------------------------------
// 3. Opening a file

void Controller::loadFile(const Ref<String>& path) {
  // Made when said: memory may have run out before.
  const auto name = [&] { return path ? path->lastPathComponent() : make<String>(); };
  const auto refuse = [&](const char* reason) {
    say(String::withFormat("Could not read %s: %s", name()->cString(), reason));
  };
  // Running out of memory anywhere leaves the data already loaded as it
  // was: nothing is added before the file has been read and loaded whole,
  // and what was added goes again when the views cannot be made of it.
  Reading reading;
  try {
    // Nothing past the reply cap of the network layer is read, whatever size
    // the file reports: holding all of it in memory would serve no purpose.
    FileFailure failure = FileFailure::none;
    Ref<String> text = Files::readText(path, uint64_t(kMaxFileBytes), &failure);
    if (!text) {
      switch (failure) {
        case FileFailure::missing: return refuse("no such file");
        case FileFailure::folder: return refuse("a folder, not a file");
        case FileFailure::notRegular: return refuse("not a regular file");
        case FileFailure::tooLarge: return refuse("the file is larger than 256 MB");
        default: return refuse("the file could not be read");
      }
    }
    if (text->isEmpty()) return refuse("the file is empty");
    reading = readDocument(std::move(text), path);
    if (reading.failure) return refuse(reading.failure);
    if (reading.jsonAt != kNotFound) {
      const char* format = reading.jsonEndsEarly ? "the JSON ends early at byte %u" : "not JSON (byte %u)";
      return refuse(String::withFormat(format, reading.jsonAt)->cString());
    }
    if (!reading.contributions || reading.contributions->count() == 0)
      return refuse("not a contribution, a run.py results.json or a par results.json");
  } catch (const std::bad_alloc&) {
    reading = Reading{};
    pool::trim();
    return refuse(kTooMuchMemory);
  }
  const Ref<Array>& list = reading.contributions;
  const uint32_t before = dataSet->contributions->count();
  const Ref<Contribution> previousOwn = ownContribution;
  try {
    const Added added = appendAll(list);
    // Only a file that is one contribution document is the user's own: the
    // members of a corpus or of an array are other people's results, and
    // Submit would publish them under the user's consent. A file opened
    // again is the own one again, though its results were loaded already.
    Ref<Contribution> single = list->count() == 1 ? cast<Contribution>(list->get(0)) : nullptr;
    if (single && single->root && single->root.get() == reading.document.get() && single->schema &&
        single->schema->equalsIgnoringCase(String::withCString(kOurSchema))) {
      ownContribution = single;
    }
    rebuild(true);
    const Ref<String> leftOut = leftOutText(added);
    say(String::withFormat("Opened %s (%s%s%s)", name()->cString(), runsText(added)->cString(),
                           leftOut->isEmpty() ? "" : "; ", leftOut->cString()));
  } catch (const std::bad_alloc&) {
    // What was loaded before stays, and so do its views.
    reading = Reading{};
    ownContribution = previousOwn;
    dataSet->contributions->removeRange(before, dataSet->contributions->count() - before);
    pool::trim();
    rebuild(true);
    refuse(kTooMuchMemory);
  }
}

void Controller::onOpen(const Ref<UXMenuItem>&) {
  // The driver's native dialog when it has one, else the toolkit's panel.
  UXCString path = UXOpenPanel::run("Open a contribution", ".");
  if (!path) return;
  UXBusyStep step(window);
  loadFile(String::withCString(path.get()));
}

void Controller::onOpenControl(const Ref<UXView>&) { onOpen(nullptr); }

// ---------------------------------------------------------------------------
// 4. Downloading and merging the corpus

void Controller::onDownload(const Ref<UXMenuItem>&) {
  try {
    say("Fetching the corpus...");
    UXBusyStep step(window);
    Ref<String> text = Net::get(String::withFormat("%s/benchmarks/corpus.php", Net::server()->cString()));
    mergeCorpus(text);
  } catch (const std::bad_alloc&) {
    pool::trim();
    say(String::withFormat("Could not read the corpus: %s", kTooMuchMemory));
  }
}

void Controller::onDownloadControl(const Ref<UXView>&) { onDownload(nullptr); }

void Controller::mergeCorpus(const Ref<String>& text) {
  const auto refuse = [&](const char* reason) { say(String::withFormat("Could not read the corpus: %s", reason)); };
  if (!text) return refuse(Net::lastError()->cString());
  Reading reading;
  try {
    reading = readDocument(text, String::withCString("corpus"));
  } catch (const std::bad_alloc&) {
    reading.failure = kTooMuchMemory;
  }
  if (reading.failure) return refuse(reading.failure);
  if (reading.contributions->count() == 0) return say("The corpus had no contributions.");
  // The new data set is made whole before anything changes, and the old
  // one kept until the views are made of the new, so that running out of
  // memory on the way leaves the data loaded before as it was. A new
  // download replaces the previous one: appending it again would show every
  // downloaded run twice. Files the user opened stay.
  Ref<Array> previous = dataSet->contributions;
  Ref<Array> previousDownload = downloaded;
  try {
    std::unordered_set<const Object*> replaced;
    for (uint32_t i = 0; i < previousDownload->count(); i++) replaced.insert(previousDownload->get(i).get());
    Ref<Array> next = Array::withCapacity(previous->count() + reading.contributions->count());
    for (uint32_t i = 0; i < previous->count(); i++) {
      Ref<Object> c = previous->get(i);
      if (!replaced.count(c.get())) next->add(c);
    }
    dataSet->contributions = next;
    const Added added = appendAll(reading.contributions);
    downloaded = added.contributions;
    rebuild(true);
    const Ref<String> leftOut = leftOutText(added);
    const bool some = !leftOut->isEmpty();
    say(String::withFormat("Downloaded %s in %d result sets%s%s%s.", runsText(added)->cString(),
                           int32_t(downloaded->count()), some ? " (" : "", leftOut->cString(), some ? ")" : ""));
  } catch (const std::bad_alloc&) {
    dataSet->contributions = previous;
    downloaded = previousDownload;
    reading = Reading{};
    pool::trim();
    rebuild(true);
    return refuse(kTooMuchMemory);
  }
  // The previous corpus is gone with the rebuild: its memory goes back to
  // the system now rather than when the pool next looks.
  const bool replaced = !previousDownload->isEmpty();
  previous.reset();
  previousDownload.reset();
  if (replaced) pool::trim();
}

// ---------------------------------------------------------------------------
// 5. Submitting

Ref<String> Controller::ownContributionText() const {
  if (!ownContribution || !ownContribution->root) return nullptr;
  try {
    return JSON::stringify(ownContribution->root);
  } catch (const JSONError&) {
    return nullptr;
  }
}

void Controller::onSubmit(const Ref<UXMenuItem>&) {
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
  Ref<HttpResponse> response = Net::post(String::withFormat("%s/benchmarks/submit.php", Net::server()->cString()), body);
  if (!response) {
    say(String::withFormat("Submit failed: %s", Net::lastError()->cString()));
    return;
  }
  Ref<Map> reply;
  if (response->body) {
    try {
      reply = cast<Map>(JSON::parse(String::withBytes(response->body->bytes(), response->body->length())));
    } catch (const JSONError&) {
      reply.reset();
    }
  }
  if (response->status == 200 && reply) {
    Ref<String> id = BHelp::field(reply, "id");
    say(String::withFormat("Submitted as %s; the corpus holds %lld contribution(s).",
                           id ? id->cString() : "?", (long long)BHelp::intField(reply, "count", 0)));
    return;
  }
  Ref<String> error = reply ? BHelp::field(reply, "error") : nullptr;
  say(String::withFormat("The server refused the run (%d): %s", int32_t(response->status),
                         error ? error->cString() : "no reason given"));
}

void Controller::onSubmitControl(const Ref<UXView>&) { onSubmit(nullptr); }

}  // namespace quorl
