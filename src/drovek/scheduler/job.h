#pragma once
// Job: the 128-byte unit of work moved by value through every queue (rings,
// deques, handoff slots). It is never boxed: a 112-byte payload holds the
// closure state, followed by the run operation and the release operation.
//
// Ownership: whoever holds a Job owns its payload. Running it hands the
// payload to the run operation; discarding it unrun calls the release
// operation instead, exactly once. A slot counts as occupied when its release
// operation is present.

#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>

namespace drovek {

struct alignas(16) Job {
  static constexpr std::size_t kPayloadBytes = 112;
  // `runner` is the index of the worker that runs the job, or the worker
  // count when a waiting caller that is not a worker runs it.
  using RunOperation = bool (*)(Job& job, std::size_t runner);
  using ReleaseOperation = void (*)(Job& job) noexcept;

  alignas(16) std::byte payload[kPayloadBytes];
  RunOperation run = nullptr;
  ReleaseOperation release = nullptr;

  bool occupied() const noexcept { return release != nullptr; }
};

static_assert(sizeof(Job) == 128);
static_assert(std::is_trivially_copyable_v<Job>);

// Payloads are plain values: queues copy jobs bytewise between threads.
template <class Payload>
concept JobPayload = std::is_trivially_copyable_v<Payload> && sizeof(Payload) <= Job::kPayloadBytes &&
                     alignof(Payload) <= 16;

template <JobPayload Payload>
Job make_job(const Payload& payload, Job::RunOperation run, Job::ReleaseOperation release) noexcept {
  Job job;
  std::memcpy(job.payload, &payload, sizeof(Payload));
  job.run = run;
  job.release = release;
  return job;
}

template <JobPayload Payload>
Payload& job_payload(Job& job) noexcept {
  return *std::launder(reinterpret_cast<Payload*>(job.payload));
}

// Discards a job unrun through its release operation.
inline void release_job(Job& job) noexcept {
  if (job.release != nullptr) job.release(job);
}

}  // namespace drovek
