// Controller: the status line, and the three ways data enters or leaves:
// opening a file, downloading the corpus, submitting the own contribution.
//
// Sections:
//   1. the status line
//   2. opening a file
//   3. downloading and merging the corpus
//   4. submitting
#include "app/Controller.h"

#include <cstring>
#include <new>
#include <string>
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

int32_t Controller::appendAll(Ptr<const Array> contributions) {
  uint32_t runs = 0;
  for (uint32_t i = 0; i < contributions->count(); i++) {
    Ref<Contribution> c = cast<Contribution>(contributions->get(i));
    if (!c) continue;
    dataSet->contributions->add(c);
    runs += c->runs->count();
  }
  return int32_t(runs);
}

// ---------------------------------------------------------------------------
// 2. Opening a file

namespace {

// What opening a file may take in memory: the values of the document, at
// most kOpenBytesPerByte times its size (and kOpenFloor for any file), with
// kOpenPerObject of that for each object, for the contribution or run made
// of it and its share of the views. Result files take a fraction of this; a
// file of empty objects or tiny numbers would take far more.
constexpr uint64_t kOpenBytesPerByte = 10;
constexpr uint64_t kOpenFloor = uint64_t(64) << 20;
constexpr uint32_t kOpenPerObject = 384;

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

// The contributions of a document's UTF-8 bytes, read within what opening
// `size` bytes may take (throws std::bad_alloc past it), and the parsed
// document in `document`; none for text that is not JSON.
Ref<Array> loadBounded(const uint8_t* bytes, uint32_t length, uint64_t size, const Ref<String>& source,
                       Ref<Object>& document) {
  const JSON::Budget budget{size * kOpenBytesPerByte + kOpenFloor, kOpenPerObject};
  try {
    document = JSON::_parseBytes(bytes, length, budget);
  } catch (const JSONError&) {
    document.reset();
    return make<Array>();
  }
  // A run.py results file makes a run of numbers, not of objects: those
  // runs are held to the same share of the budget.
  return Contribution::loadObject(document, source, budget.bytes / kOpenPerObject);
}

}  // namespace

void Controller::loadFile(const Ref<String>& path) {
  Ref<String> name = path ? path->lastPathComponent() : make<String>();
  const auto refuse = [&](const char* reason) {
    say(String::withFormat("Could not read %s: %s", name->cString(), reason));
  };
  constexpr const char* kTooMuchMemory = "it would take too much memory to open";
  Ref<Object> document;
  Ref<Array> list;
  // Running out of memory while the file is read and parsed leaves the
  // data already loaded as it was: nothing is added before the end.
  try {
    // Nothing past the reply cap of the network layer is read, whatever size
    // the file reports: holding all of it in memory would serve no purpose.
    FileFailure failure = FileFailure::none;
    Ref<String> text = Files::readText(path, uint64_t(kMaxFileBytes), &failure);
    if (!text && failure == FileFailure::notRegular) return refuse("not a regular file");
    if (!text && failure == FileFailure::tooLarge) return refuse("the file is larger than 256 MB");
    if (text) {
      uint32_t skip = 0;
      const uint64_t fileBytes = text->byteLength();
      if (utf8Text(text, skip) == Encoding::badUtf16) return refuse("not valid UTF-16 text");
      list = loadBounded(text->_bytesAt(skip), text->byteLength() - skip, fileBytes, path, document);
    } else {
      list = make<Array>();
    }
  } catch (const std::bad_alloc&) {
    document.reset();
    list.reset();
    pool::trim();
    return refuse(kTooMuchMemory);
  }
  if (list->count() == 0) return refuse("not a contribution, a run.py results.json or a par results.json");
  const uint32_t before = dataSet->contributions->count();
  const Ref<Contribution> previousOwn = ownContribution;
  int32_t total = 0;
  try {
    total = appendAll(list);
    // Only a file that is one contribution document is the user's own: the
    // members of a corpus or of an array are other people's results, and
    // Submit would publish them under the user's consent.
    Ref<Contribution> single = list->count() == 1 ? cast<Contribution>(list->get(0)) : nullptr;
    if (single && single->root && single->root.get() == document.get() && single->schema &&
        single->schema->equalsIgnoringCase(String::withCString(kOurSchema))) {
      ownContribution = single;
    }
    rebuild(true);
  } catch (const std::bad_alloc&) {
    // What was loaded before stays, and so do its views.
    list.reset();
    document.reset();
    ownContribution = previousOwn;
    dataSet->contributions->removeRange(before, dataSet->contributions->count() - before);
    pool::trim();
    rebuild(true);
    return refuse(kTooMuchMemory);
  }
  say(String::withFormat("Opened %s (%d runs)", name->cString(), total));
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
// 3. Downloading and merging the corpus

void Controller::onDownload(const Ref<UXMenuItem>&) {
  say("Fetching the corpus...");
  UXBusyStep step(window);
  Ref<String> text = Net::get(String::withFormat("%s/benchmarks/corpus.php", Net::server()->cString()));
  mergeCorpus(text);
}

void Controller::onDownloadControl(const Ref<UXView>&) { onDownload(nullptr); }

void Controller::mergeCorpus(const Ref<String>& text) {
  if (!text) {
    say(String::withFormat("Could not read the corpus: %s", Net::lastError()->cString()));
    return;
  }
  // A reply is held to what opening a file of its size may take.
  Ref<Array> list;
  try {
    Ref<Object> document;
    list = loadBounded(text->_bytesAt(0), text->byteLength(), text->byteLength(), String::withCString("corpus"),
                       document);
  } catch (const std::bad_alloc&) {
    list.reset();
    pool::trim();
    say("Could not read the corpus: it would take too much memory to open");
    return;
  }
  if (list->count() == 0) {
    say("The corpus had no contributions.");
    return;
  }
  // A new download replaces the previous one: appending it again would show
  // every downloaded run twice. Files the user opened stay.
  if (!downloaded->isEmpty()) {
    std::unordered_set<const Object*> previous;
    for (uint32_t i = 0; i < downloaded->count(); i++) previous.insert(downloaded->get(i).get());
    Ref<Array> kept = make<Array>();
    for (uint32_t i = 0; i < dataSet->contributions->count(); i++) {
      Ref<Object> c = dataSet->contributions->get(i);
      if (!previous.count(c.get())) kept->add(c);
    }
    dataSet->contributions->setTo(kept);
  }
  const bool replaced = !downloaded->isEmpty();
  downloaded->setTo(list);
  const int32_t total = appendAll(list);
  rebuild(true);
  // The previous corpus is gone with the rebuild: its memory goes back to
  // the system now rather than when the pool next looks.
  if (replaced) pool::trim();
  say(String::withFormat("Downloaded %d runs in %d result sets.", total, int32_t(list->count())));
}

// ---------------------------------------------------------------------------
// 4. Submitting

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
