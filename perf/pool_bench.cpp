// The small-object pool against glibc malloc/free, each pairing in one
// benchmark that alternates the two on every iteration:
//
//   Pool/lifo/*    a batch of 1M blocks of one size, released newest first
//   Pool/fifo/*    the same batch released oldest first
//   Pool/churn/*   4,096 live blocks; each step releases the oldest and makes
//                  a new one (the hot path: no page is taken or given back)
//
// Counters: quorl_ns and peer_ns (nanoseconds per allocate + release pair),
// ratio (quorl speed / peer speed, above 1 when quorl is faster), and for
// the batches the bytes each side took from the system per block at the
// peak (quorl_B, peer_B: what a block costs) and what each keeps after
// releasing the batch (quorl_kept_KB: pages still mapped; peer_kept_KB: free
// bytes left in glibc's heap), measured apart from the timed runs. The pool
// gives empty pages back, so each batch maps and first-touches its pages
// again; glibc keeps freed blocks in its bins.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <chrono>
#include <cstdlib>
#include <vector>

#include "PairTimer.h"
#include "foundation/Pool.h"

namespace {

using namespace quorl;

constexpr size_t kBatch = 1'000'000;
constexpr size_t kChurnLive = 4096;
constexpr size_t kChurnSteps = 1'000'000;

struct Ours {
  static void* get(size_t n) { return pool::allocate(n); }
  static void put(void* p, size_t n) { pool::release(p, n); }
  // Bytes the pool's pages of this thread take, and what the process keeps
  // mapped for the pool.
  static size_t inUse() { return pool::stats().threadPages * pool::kPageBytes; }
  static size_t kept() { return pool::stats().mappedBytes; }
};
struct Glibc {
  static void* get(size_t n) { return std::malloc(n); }
  static void put(void* p, size_t) { std::free(p); }
  // A chunk is its usable size and one size word; free chunks stay in the
  // heap until a large request merges them.
  static size_t inUse() { return 0; }
  static size_t kept() { return mallinfo2().fordblks; }
};

struct Memory {
  double bytesPerBlock = 0;
  size_t kept = 0;
};

// Measures apart from the timed runs: glibc's mallinfo2 walks its bins.
template <class A, size_t Size> Memory measure(std::vector<void*>& slots) {
  Memory m;
  size_t start = A::inUse();
  for (size_t i = 0; i < kBatch; i++) slots[i] = A::get(Size);
  if (A::inUse())
    m.bytesPerBlock = static_cast<double>(A::inUse() - start) / kBatch;
  else
    m.bytesPerBlock = static_cast<double>(malloc_usable_size(slots[0]) + sizeof(size_t));
  for (size_t i = 0; i < kBatch; i++) A::put(slots[i], Size);
  m.kept = A::kept();
  return m;
}

template <class A, size_t Size, bool Lifo> void batch(std::vector<void*>& slots) {
  for (size_t i = 0; i < kBatch; i++) {
    slots[i] = A::get(Size);
    *static_cast<char*>(slots[i]) = 1;
  }
  benchmark::DoNotOptimize(slots.data());
  if (Lifo) {
    for (size_t i = kBatch; i-- > 0;) A::put(slots[i], Size);
  } else {
    for (size_t i = 0; i < kBatch; i++) A::put(slots[i], Size);
  }
}

template <class A, size_t Size> void churn(std::vector<void*>& slots) {
  for (size_t i = 0; i < kChurnLive; i++) slots[i] = A::get(Size);
  for (size_t i = 0; i < kChurnSteps; i++) {
    size_t k = i % kChurnLive;
    A::put(slots[k], Size);
    slots[k] = A::get(Size);
    *static_cast<char*>(slots[k]) = 1;
  }
  benchmark::DoNotOptimize(slots.data());
  for (size_t i = 0; i < kChurnLive; i++) A::put(slots[i], Size);
}

// Alternates quorl and the peer on every iteration, so both see the same
// machine state; ratio is quorl's speed over the peer's.
template <void (*Quorl)(std::vector<void*>&), void (*Peer)(std::vector<void*>&), size_t Pairs,
          Memory (*QuorlMemory)(std::vector<void*>&) = nullptr, Memory (*PeerMemory)(std::vector<void*>&) = nullptr>
void BM_Ratio(benchmark::State& state) {
  std::vector<void*> slots(kBatch);
  Quorl(slots);  // warm up both sides
  Peer(slots);
  quorl::perf::PairTimer timer;
  for (auto _ : state) timer.run([&] { Quorl(slots); }, [&] { Peer(slots); });
  const double quorlSeconds = timer.firstSeconds, peerSeconds = timer.secondSeconds;
  const double pairs = static_cast<double>(state.iterations()) * Pairs;
  state.counters["quorl_ns"] = quorlSeconds / pairs * 1e9;
  state.counters["peer_ns"] = peerSeconds / pairs * 1e9;
  state.counters["ratio"] = peerSeconds / quorlSeconds;
  if constexpr (QuorlMemory != nullptr) {
    Memory ours = QuorlMemory(slots), theirs = PeerMemory(slots);
    state.counters["quorl_B"] = ours.bytesPerBlock;
    state.counters["peer_B"] = theirs.bytesPerBlock;
    state.counters["quorl_kept_KB"] = static_cast<double>(ours.kept) / 1024;
    state.counters["peer_kept_KB"] = static_cast<double>(theirs.kept) / 1024;
  }
}

void setUp(benchmark::internal::Benchmark* b) { b->Unit(benchmark::kMillisecond)->UseRealTime(); }

template <size_t Size, bool Lifo> void BM_Batch(benchmark::State& state) {
  BM_Ratio<batch<Ours, Size, Lifo>, batch<Glibc, Size, Lifo>, kBatch, measure<Ours, Size>, measure<Glibc, Size>>(state);
}

BENCHMARK(BM_Batch<24, true>)->Name("Pool/lifo/24_vs_malloc")->Apply(setUp);
BENCHMARK(BM_Batch<24, false>)->Name("Pool/fifo/24_vs_malloc")->Apply(setUp);
BENCHMARK(BM_Batch<48, true>)->Name("Pool/lifo/48_vs_malloc")->Apply(setUp);
BENCHMARK(BM_Batch<48, false>)->Name("Pool/fifo/48_vs_malloc")->Apply(setUp);
BENCHMARK(BM_Ratio<churn<Ours, 24>, churn<Glibc, 24>, kChurnSteps>)->Name("Pool/churn/24_vs_malloc")->Apply(setUp);
BENCHMARK(BM_Ratio<churn<Ours, 48>, churn<Glibc, 48>, kChurnSteps>)->Name("Pool/churn/48_vs_malloc")->Apply(setUp);

}  // namespace
