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
#include <unordered_set>

#include "foundation/Data.h"
#include "foundation/Files.h"
#include "foundation/JSON.h"
#include "foundation/Map.h"
#include "foundation/Pool.h"
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

void Controller::loadFile(const Ref<String>& path) {
  Ref<String> name = path ? path->lastPathComponent() : make<String>();
  // Nothing past the reply cap of the network layer is read, whatever size
  // the file reports: holding all of it in memory would serve no purpose.
  FileFailure failure = FileFailure::none;
  Ref<String> text = Files::readText(path, uint64_t(kMaxFileBytes), &failure);
  if (!text && failure == FileFailure::notRegular) {
    say(String::withFormat("Could not read %s: not a regular file", name->cString()));
    return;
  }
  if (!text && failure == FileFailure::tooLarge) {
    say(String::withFormat("Could not read %s: the file is larger than 256 MB", name->cString()));
    return;
  }
  Ref<Object> document;
  if (text) {
    // A leading byte-order mark, as PowerShell's Out-File and some editors
    // write one, is not part of the document.
    const uint32_t skip = text->byteLength() >= 3 && std::memcmp(text->cString(), "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    try {
      document = JSON::_parseBytes(text->_bytesAt(skip), text->byteLength() - skip);
    } catch (const JSONError&) {
      document.reset();
    }
  }
  Ref<Array> list = document ? Contribution::loadObject(document, path) : make<Array>();
  if (list->count() == 0) {
    say(String::withFormat(
        "Could not read %s: not a contribution, a run.py results.json or a par results.json", name->cString()));
    return;
  }
  const int32_t total = appendAll(list);
  // Only a file that is one contribution document is the user's own: the
  // members of a corpus or of an array are other people's results, and
  // Submit would publish them under the user's consent.
  Ref<Contribution> single = list->count() == 1 ? cast<Contribution>(list->get(0)) : nullptr;
  if (single && single->root && single->root.get() == document.get() && single->schema &&
      single->schema->equalsIgnoringCase(String::withCString(kOurSchema))) {
    ownContribution = single;
  }
  rebuild(true);
  say(String::withFormat("Opened %s (%d runs)", name->cString(), total));
}

void Controller::onOpen(const Ref<UXMenuItem>&) {
  // The driver's native dialog when it has one, else the toolkit's panel.
  UXCString path = UXOpenPanel::run("Open a contribution", ".");
  if (!path) return;
  loadFile(String::withCString(path.get()));
}

void Controller::onOpenControl(const Ref<UXView>&) { onOpen(nullptr); }

// ---------------------------------------------------------------------------
// 3. Downloading and merging the corpus

void Controller::onDownload(const Ref<UXMenuItem>&) {
  say("Fetching the corpus...");
  Ref<String> text = Net::get(String::withFormat("%s/benchmarks/corpus.php", Net::server()->cString()));
  mergeCorpus(text);
}

void Controller::onDownloadControl(const Ref<UXView>&) { onDownload(nullptr); }

void Controller::mergeCorpus(const Ref<String>& text) {
  if (!text) {
    say(String::withFormat("Could not read the corpus: %s", Net::lastError()->cString()));
    return;
  }
  Ref<Array> list = Contribution::loadText(text, String::withCString("corpus"));
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
