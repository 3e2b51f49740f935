#include "interrupt.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>

namespace cdmadiag {
namespace {

volatile std::sig_atomic_t g_stop = 0;

// One slot per file being written, for sessions writing on several threads at once. A
// path is written only while its slot is claimed, so a handler never reads a half-written
// one; lock-free atomics are safe in a handler.
constexpr std::size_t kPathMax = 4096;
constexpr const char kJournal[] = "-journal";
constexpr int kAbandonSlots = 32;
enum : int { kFree, kClaimed, kSet };
struct AbandonSlot {
  std::atomic<int> state{kFree};
  char path[kPathMax];
};
AbandonSlot g_abandon[kAbandonSlots];
static_assert(std::atomic<int>::is_always_lock_free);

struct sigaction g_old_int, g_old_term;

extern "C" void on_stop_signal(int sig) {
  if (g_stop == 0) {
    g_stop = sig;
    return;
  }
  for (AbandonSlot& slot : g_abandon) {
    if (slot.state.load() != kSet) continue;
    char path[kPathMax + sizeof kJournal];
    const std::size_t n = std::strlen(slot.path);
    std::memcpy(path, slot.path, n);
    std::memcpy(path + n, kJournal, sizeof kJournal);
    ::unlink(path);  // the journal
    path[n] = '\0';
    ::unlink(path);
  }
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

}  // namespace

InterruptGuard::InterruptGuard(bool pass_on) : pass_on_(pass_on) {
  clear_stop();
  struct sigaction sa {};
  sa.sa_handler = on_stop_signal;
  sigemptyset(&sa.sa_mask);
  // No SA_RESTART: a read blocked on a quiet pipe must return so the run can stop.
  sa.sa_flags = 0;
  // A signal ignored by whoever started the run (nohup, a background job) stays ignored.
  sigaction(SIGINT, nullptr, &g_old_int);
  sigaction(SIGTERM, nullptr, &g_old_term);
  if (g_old_int.sa_handler != SIG_IGN) sigaction(SIGINT, &sa, nullptr);
  if (g_old_term.sa_handler != SIG_IGN) sigaction(SIGTERM, &sa, nullptr);
}

InterruptGuard::~InterruptGuard() {
  sigaction(SIGINT, &g_old_int, nullptr);
  sigaction(SIGTERM, &g_old_term, nullptr);
  // The host's own handler sees the signal that stopped the run, as if it had come now.
  if (pass_on_ && g_stop != 0) std::raise(g_stop);
}

int stop_signal() { return g_stop; }
void request_stop(int signal) { g_stop = signal; }
void clear_stop() { g_stop = 0; }

int abandon_on_kill(const char* path) {
  if (std::strlen(path) >= kPathMax) return -1;
  for (int i = 0; i < kAbandonSlots; ++i) {
    int free = kFree;
    if (!g_abandon[i].state.compare_exchange_strong(free, kClaimed)) continue;
    std::strcpy(g_abandon[i].path, path);
    g_abandon[i].state.store(kSet);
    return i;
  }
  return -1;
}

void forget_on_kill(int slot) {
  if (slot >= 0 && slot < kAbandonSlots) g_abandon[slot].state.store(kFree);
}

}  // namespace cdmadiag
