// The background fetch: Url::fetch registers a pending request under a
// token and hands it to the installed platform delegate. _HttpDelegate
// carries each request over the HTTP client on a detached thread of its own
// and delivers the result to a run loop, on whose thread the completion
// runs. With no delegate a fetch completes at once with status 0.
#pragma once

#include <cstdint>

#include "foundation/Object.h"
#include "foundation/String.h"
#include "net/Http.h"
#include "net/Thread.h"
#include "net/Url.h"

namespace quorl {

class FetchReq : public Object {
 public:
  FetchReq(uint32_t token, FetchCompletion completion) : token(token), completion(std::move(completion)) {}
  const char* classNameC() const override { return "FetchReq"; }
  Ref<String> description() const override;  // <FetchReq>(token)

  void fire(uint32_t status, Ref<String> body) const { completion.call(status, std::move(body)); }

  uint32_t token;
  FetchCompletion completion;
  Ref<FetchReq> next;
};

class PlatformDelegate {
 public:
  virtual ~PlatformDelegate() = default;
  virtual void inject(Ref<Object> first, Ref<Object> second) = 0;
  virtual void pushState(Ref<Object> state) = 0;
  virtual void startFetch(uint32_t token, Ref<Url> url) = 0;
};

class _HttpDelegate : public Object, public PlatformDelegate {
 public:
  const char* classNameC() const override { return "_HttpDelegate"; }
  void inject(Ref<Object>, Ref<Object>) override {}
  void pushState(Ref<Object>) override {}
  // Takes the pending request over into a background job.
  void startFetch(uint32_t token, Ref<Url> url) override;
};

class _HttpJob : public Object {
 public:
  _HttpJob(Ref<Url> url, FetchCompletion completion) : url(std::move(url)), completion(std::move(completion)) {}
  const char* classNameC() const override { return "_HttpJob"; }
  Ref<String> description() const override;  // <_HttpJob>(done)

  // The body of the job's thread.
  static void run(const Ref<_HttpJob>& job);
  // Hands the result to the delivery run loop, then marks the job done.
  static void _finish(const Ref<_HttpJob>& job, uint32_t status, Ref<String> body);

  Ref<Url> url;
  FetchCompletion completion;
  uint8_t done = 0;  // read and written under the jobs lock
};

// Installation points and the state of the background fetch.
class Fetch final : public Object {
 public:
  Fetch() = delete;
  const char* classNameC() const override { return "Fetch"; }

  static void setPlatformDelegate(Ref<PlatformDelegate> delegate);
  static Ref<PlatformDelegate> platformDelegate();
  // The run loop that receives finished fetches; none drops the results.
  static void setDeliveryRunLoop(Ref<RunLoop> loop);
  static Ref<RunLoop> deliveryRunLoop();

  // For tests: the recorded jobs, whether a job is done, the next token,
  // and the number of pending requests.
  static uint32_t _jobCount();
  static bool _isDone(const Ref<_HttpJob>& job);
  static uint32_t _nextToken();
  static uint32_t _pendingCount();
};

}  // namespace quorl
