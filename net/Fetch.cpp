#include "net/Fetch.h"

#include <mutex>

#include "foundation/Array.h"
#include "foundation/Log.h"

namespace quorl {

namespace {

// The pending list and the token counter belong to the fetching thread; the
// lock only keeps a delegate that answers on another thread safe.
std::mutex gPendingLock;
Ref<FetchReq> gPending;
uint32_t gNextToken = 1;

std::mutex gInstallLock;
Ref<PlatformDelegate> gDelegate;
Ref<RunLoop> gDeliver;

// The jobs lock and list exist from the first use on, whichever thread
// that is.
const Ref<Mutex>& jobsLock() {
  static Ref<Mutex> lock = make<Mutex>();
  return lock;
}
Ref<Array>& jobs() {
  static Ref<Array> list = make<Array>();
  return list;
}

}  // namespace

Ref<String> FetchReq::description() const {
  uint16_t values[1] = {static_cast<uint16_t>(token)};
  return String::_classDescribe("FetchReq", values, 1, 0);
}

Ref<String> _HttpJob::description() const {
  uint16_t values[1] = {done};
  return String::_classDescribe("_HttpJob", values, 1, 0);
}

// ---------------------------------------------------------------------------
// Url: fetch, take, complete

void Url::fetch(FetchCompletion completion) {
  Ref<FetchReq> request;
  {
    std::lock_guard<std::mutex> lock(gPendingLock);
    request = make<FetchReq>(gNextToken, std::move(completion));
    gNextToken++;
    request->next = gPending;
    gPending = request;
  }
  if (Ref<PlatformDelegate> delegate = Fetch::platformDelegate()) {
    delegate->startFetch(request->token, self<Url>());
    return;
  }
  // The address last: however long it is, the words before it stay whole
  // when the logger cuts the line.
  Log::_send(nullptr, Log::kWarning,
             String::withFormat("Url.fetch: no transport for this URL - completing with status 0: %s",
                                toString()->cString()));
  complete(request->token, 0, nullptr);
}

Ref<FetchReq> Url::take(uint32_t token) {
  std::lock_guard<std::mutex> lock(gPendingLock);
  Ref<FetchReq> previous;
  for (Ref<FetchReq> r = gPending; r; previous = r, r = r->next) {
    if (r->token != token) continue;
    if (previous)
      previous->next = r->next;
    else
      gPending = r->next;
    r->next = nullptr;
    return r;
  }
  return nullptr;
}

void Url::complete(uint32_t token, uint32_t status, Ref<String> body) {
  if (Ref<FetchReq> r = take(token)) r->fire(status, std::move(body));
}

// ---------------------------------------------------------------------------
// Installation points

void Fetch::setPlatformDelegate(Ref<PlatformDelegate> delegate) {
  std::lock_guard<std::mutex> lock(gInstallLock);
  gDelegate = std::move(delegate);
}

Ref<PlatformDelegate> Fetch::platformDelegate() {
  std::lock_guard<std::mutex> lock(gInstallLock);
  return gDelegate;
}

void Fetch::setDeliveryRunLoop(Ref<RunLoop> loop) {
  std::lock_guard<std::mutex> lock(gInstallLock);
  gDeliver = std::move(loop);
}

Ref<RunLoop> Fetch::deliveryRunLoop() {
  std::lock_guard<std::mutex> lock(gInstallLock);
  return gDeliver;
}

uint32_t Fetch::_jobCount() {
  Guard guard(jobsLock());
  return jobs()->count();
}

bool Fetch::_isDone(const Ref<_HttpJob>& job) {
  Guard guard(jobsLock());
  return job->done != 0;
}

uint32_t Fetch::_nextToken() {
  std::lock_guard<std::mutex> lock(gPendingLock);
  return gNextToken;
}

uint32_t Fetch::_pendingCount() {
  std::lock_guard<std::mutex> lock(gPendingLock);
  uint32_t n = 0;
  for (Ref<FetchReq> r = gPending; r; r = r->next) n++;
  return n;
}

// ---------------------------------------------------------------------------
// Background jobs

void _HttpDelegate::startFetch(uint32_t token, Ref<Url> url) {
  Ref<FetchReq> r = Url::take(token);
  if (!r) return;
  Http::_start(make<_HttpJob>(std::move(url), r->completion));
}

void Http::_start(Ref<_HttpJob> job) {
  {
    Guard guard(jobsLock());
    // Finished jobs leave the list here and only here.
    Ref<Array> running = make<Array>();
    for (const Ref<Object>& object : *jobs()) {
      auto j = cast<_HttpJob>(object);
      if (j && j->done == 0) running->add(j);
    }
    running->add(job);
    jobs() = running;
  }
  Block<> block;
  block.target = job;
  block.function = [](const Ref<Object>& target) { _HttpJob::run(staticCast<_HttpJob>(target)); };
  Ref<Thread> thread = make<Thread>(std::move(block));
  if (!thread->start()) {
    // A job that never runs must still complete, or its requester waits
    // for ever and the job stays in the list as running.
    _HttpJob::_finish(job, 0, nullptr);
    return;
  }
  thread->detach();
}

void _HttpJob::run(const Ref<_HttpJob>& job) {
  Ref<HttpResponse> response = Http::get(job->url);
  // A body cut short (or a receive failure after the head) is a failure,
  // as a status-0 response is: the requester gets no partial text.
  uint32_t status = response->error ? 0 : response->status;
  Ref<String> body;
  if (status != 0) body = String::withBytes(response->body->bytes(), response->body->length());
  _finish(job, status, std::move(body));
}

void _HttpJob::_finish(const Ref<_HttpJob>& job, uint32_t status, Ref<String> body) {
  if (Ref<RunLoop> loop = Fetch::deliveryRunLoop()) {
    FetchCompletion completion = job->completion;
    loop->post(make<_RunLoopItem>([completion, status, body] { completion.call(status, body); }));
  }
  Guard guard(jobsLock());
  job->done = 1;
}

}  // namespace quorl
