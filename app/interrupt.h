#pragma once
// SIGINT and SIGTERM ask a run to stop after the packet it is decoding: reading stops,
// the output is finished as usual, and the command exits 130. A second signal gives up
// at once: the temporary output registered here is removed and the signal's default
// action ends the process.
namespace cdmadiag {

inline constexpr int kExitInterrupted = 130;

// Installs the handlers for its lifetime (a signal ignored before stays ignored) and
// clears any earlier request. pass_on, for a host with handlers of its own (Python):
// at the end, a signal that stopped the run is raised again for the handler put back.
class InterruptGuard {
 public:
  explicit InterruptGuard(bool pass_on = false);
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

 private:
  bool pass_on_;
};

// The signal that asked to stop, 0 while none did.
int stop_signal();
inline bool stop_requested() { return stop_signal() != 0; }
// What a handler would do; for tests, and for stops that are not signals.
void request_stop(int signal);
void clear_stop();

// A temporary file (and SQLite's journal beside it) for a second signal to remove, until
// forgotten: the slot to forget, or -1 when every slot is taken (the file would then stay
// behind a kill, as any file does when the process is killed outright).
int abandon_on_kill(const char* path);
void forget_on_kill(int slot);

}  // namespace cdmadiag
