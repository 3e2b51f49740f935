#include "interrupt.h"

#include <unistd.h>

#include <csignal>
#include <cstring>

namespace cdmadiag {
namespace {

volatile std::sig_atomic_t g_stop = 0;

// Written only while g_abandon_set is 0, so a handler never reads a half-written path.
constexpr std::size_t kPathMax = 4096;
constexpr const char kJournal[] = "-journal";
char g_abandon[kPathMax + sizeof kJournal];
volatile std::sig_atomic_t g_abandon_set = 0;

struct sigaction g_old_int, g_old_term;

extern "C" void on_stop_signal(int sig) {
  if (g_stop == 0) {
    g_stop = sig;
    return;
  }
  if (g_abandon_set != 0) {
    ::unlink(g_abandon);
    const std::size_t n = std::strlen(g_abandon);
    std::memcpy(g_abandon + n, kJournal, sizeof kJournal);
    ::unlink(g_abandon);
    g_abandon[n] = '\0';
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

void set_abandon_path(const char* path) {
  g_abandon_set = 0;
  if (path == nullptr || std::strlen(path) >= kPathMax) return;
  std::strcpy(g_abandon, path);
  g_abandon_set = 1;
}

}  // namespace cdmadiag
