#include "async_sink.h"

#include <condition_variable>
#include <algorithm>
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
  PacketData packet;
  std::string error;
  // A framing error's place.
  std::string file_name;
  std::uint32_t error_file = 0;
  std::uint64_t error_offset = 0;
};

// Slots move between the threads in batches: waking the other thread for every packet
// cost more than formatting the packet.
class AsyncSink final : public OutputSink {
 public:
  AsyncSink(std::unique_ptr<OutputSink> inner, std::size_t depth) : inner_(std::move(inner)) {
    // Half the slots at most in one batch, so one can fill while the other is written.
    const std::size_t n = std::max<std::size_t>(depth, 2);
    batch_ = std::min(kBatch, n / 2);
    slots_.resize(n);
    for (Slot& s : slots_) spare_.push_back(&s);
    end_.kind = Slot::Kind::kEnd;
    writer_ = std::thread([this] { write_loop(); });
  }

  ~AsyncSink() override { stop(); }

  void packet(const PacketView& p) override {
    Slot* s = take();
    s->kind = Slot::Kind::kPacket;
    s->packet.assign(p);
    hand_over(s);
  }

  void framing_error(std::string_view text) override { framing_error_at(text, {}); }
  void framing_error_at(std::string_view text, const FramingErrorAt& at) override {
    Slot* s = take();
    s->kind = Slot::Kind::kFramingError;
    s->error.assign(text);
    s->file_name.assign(at.file_name);
    s->error_file = at.file;
    s->error_offset = at.offset;
    hand_over(s);
  }

  void finish() override {
    stop();
    rethrow();
    inner_->finish();
  }

 private:
  static constexpr std::size_t kBatch = 64;

  Slot* take() {
    if (spare_.empty()) {
      std::unique_lock lock(mutex_);
      if (failure_) {
        lock.unlock();
        rethrow();
      }
      if (free_.empty() && !filled_.empty()) {
        // The writer may be waiting for a full batch that only this thread can finish.
        queue_.insert(queue_.end(), filled_.begin(), filled_.end());
        filled_.clear();
        ready_.notify_one();
      }
      producer_waiting_ = true;
      room_.wait(lock, [this] { return !free_.empty(); });
      producer_waiting_ = false;
      spare_.swap(free_);
    }
    Slot* s = spare_.back();
    spare_.pop_back();
    return s;
  }

  void hand_over(Slot* s) {
    filled_.push_back(s);
    if (filled_.size() >= batch_) flush();
  }

  void flush() {
    bool wake = false;
    {
      const std::lock_guard lock(mutex_);
      queue_.insert(queue_.end(), filled_.begin(), filled_.end());
      wake = writer_waiting_;
    }
    filled_.clear();
    if (wake) ready_.notify_one();
  }

  void stop() {
    if (!writer_.joinable()) return;
    filled_.push_back(&end_);
    flush();
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
    std::vector<Slot*> batch;
    for (;;) {
      {
        std::unique_lock lock(mutex_);
        writer_waiting_ = true;
        ready_.wait(lock, [this] { return !queue_.empty(); });
        writer_waiting_ = false;
        batch.swap(queue_);
      }
      bool end = false;
      for (Slot* s : batch) {
        if (s->kind == Slot::Kind::kEnd) {
          end = true;
          break;
        }
        // After a failure the rest is dropped, not written: the run is ending with an error.
        if (failed) continue;
        try {
          if (s->kind == Slot::Kind::kPacket) {
            inner_->packet(s->packet.view());
          } else {
            inner_->framing_error_at(s->error, {s->error_file, s->file_name, s->error_offset});
          }
        } catch (...) {
          failed = true;
          const std::lock_guard lock(mutex_);
          failure_ = std::current_exception();
        }
      }
      if (end) return;
      bool wake = false;
      {
        const std::lock_guard lock(mutex_);
        free_.insert(free_.end(), batch.begin(), batch.end());
        wake = producer_waiting_;
      }
      batch.clear();
      if (wake) room_.notify_one();
    }
  }

  std::unique_ptr<OutputSink> inner_;
  std::size_t batch_ = kBatch;
  std::vector<Slot> slots_;
  Slot end_;  // marks the end of the queue
  std::vector<Slot*> spare_;   // free slots the decoding thread holds
  std::vector<Slot*> filled_;  // slots filled but not yet handed over
  std::mutex mutex_;
  std::condition_variable ready_;  // the queue has slots to write
  std::condition_variable room_;   // slots are free
  std::vector<Slot*> free_;
  std::vector<Slot*> queue_;
  bool writer_waiting_ = false;
  bool producer_waiting_ = false;
  std::exception_ptr failure_;
  std::thread writer_;
};

}  // namespace

std::unique_ptr<OutputSink> make_async_sink(std::unique_ptr<OutputSink> inner, std::size_t depth) {
  return std::make_unique<AsyncSink>(std::move(inner), depth);
}

}  // namespace cdmadiag
