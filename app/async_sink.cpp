#include "async_sink.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace cdmadiag {
namespace {

// A packet copied out of the decoder's buffers, which the next packet reuses. Slots are
// recycled, so their strings and vectors keep their capacity and copying rarely allocates.
struct Slot {
  enum class Kind : std::uint8_t { kPacket, kFramingError, kEnd } kind = Kind::kPacket;
  PacketView view;
  COrbExpandedMessage msg;
  std::vector<WriteRecord> writes;
  std::string texts;
  std::string error;
  bool has_error = false;
  std::string file_name;
  Fix fix;
  bool has_fix = false;
  std::vector<CellLookup> cells;

  void copy(const PacketView& p) {
    kind = Kind::kPacket;
    view = p;
    msg = *p.msg;
    writes.assign(p.writes.begin(), p.writes.end());
    texts.assign(p.texts);
    has_error = p.error != nullptr;
    if (has_error) error = *p.error;
    if (file_name != p.file_name) file_name.assign(p.file_name);
    has_fix = p.fix != nullptr;
    if (has_fix) fix = *p.fix;
    cells.assign(p.cells.begin(), p.cells.end());
  }

  // The view as the wrapped sink sees it, pointing into this slot.
  const PacketView& rebuilt() {
    view.msg = &msg;
    view.writes = writes;
    view.texts = texts;
    view.error = has_error ? &error : nullptr;
    view.file_name = file_name;
    view.fix = has_fix ? &fix : nullptr;
    view.cells = cells;
    return view;
  }
};

class AsyncSink final : public OutputSink {
 public:
  AsyncSink(std::unique_ptr<OutputSink> inner, std::size_t depth) : inner_(std::move(inner)) {
    slots_.resize(depth == 0 ? 1 : depth);
    for (Slot& s : slots_) free_.push_back(&s);
    end_.kind = Slot::Kind::kEnd;
    writer_ = std::thread([this] { write_loop(); });
  }

  ~AsyncSink() override { stop(); }

  void packet(const PacketView& p) override {
    Slot* s = take();
    s->copy(p);
    hand_over(s);
  }

  void framing_error(std::string_view text) override {
    Slot* s = take();
    s->kind = Slot::Kind::kFramingError;
    s->error.assign(text);
    hand_over(s);
  }

  void finish() override {
    stop();
    rethrow();
    inner_->finish();
  }

 private:
  Slot* take() {
    std::unique_lock lock(mutex_);
    if (failure_) {
      lock.unlock();
      rethrow();
    }
    room_.wait(lock, [this] { return !free_.empty(); });
    Slot* s = free_.back();
    free_.pop_back();
    return s;
  }

  void hand_over(Slot* s) {
    {
      const std::lock_guard lock(mutex_);
      queue_.push_back(s);
    }
    ready_.notify_one();
  }

  void stop() {
    if (!writer_.joinable()) return;
    {
      const std::lock_guard lock(mutex_);
      queue_.push_back(&end_);
    }
    ready_.notify_one();
    writer_.join();
  }

  void rethrow() {
    std::exception_ptr failure;
    {
      const std::lock_guard lock(mutex_);
      failure = failure_;
    }
    if (failure) std::rethrow_exception(failure);
  }

  void write_loop() {
    bool failed = false;
    for (;;) {
      Slot* s = nullptr;
      {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return !queue_.empty(); });
        s = queue_.front();
        queue_.pop_front();
      }
      if (s->kind == Slot::Kind::kEnd) return;
      // After a failure the rest is dropped, not written: the run is ending with an error.
      if (!failed) {
        try {
          if (s->kind == Slot::Kind::kPacket) {
            inner_->packet(s->rebuilt());
          } else {
            inner_->framing_error(s->error);
          }
        } catch (...) {
          failed = true;
          const std::lock_guard lock(mutex_);
          failure_ = std::current_exception();
        }
      }
      {
        const std::lock_guard lock(mutex_);
        free_.push_back(s);
      }
      room_.notify_one();
    }
  }

  std::unique_ptr<OutputSink> inner_;
  std::vector<Slot> slots_;
  Slot end_;  // marks the end of the queue
  std::mutex mutex_;
  std::condition_variable ready_;  // the queue has a slot to write
  std::condition_variable room_;   // a slot is free
  std::vector<Slot*> free_;
  std::deque<Slot*> queue_;
  std::exception_ptr failure_;
  std::thread writer_;
};

}  // namespace

std::unique_ptr<OutputSink> make_async_sink(std::unique_ptr<OutputSink> inner, std::size_t depth) {
  return std::make_unique<AsyncSink>(std::move(inner), depth);
}

}  // namespace cdmadiag
