#include <fmt/format.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <span>
#include <string_view>
#include <thread>

#include "app_test_util.h"
#include "byte_stream.h"
#include "crc16.h"
#include "hdlc_reader.h"
#include "log_reader.h"

namespace cdmadiag::test {
namespace {

using enum InputFormat;

ByteVec payload(std::size_t n, std::uint8_t fill = 0) { return ByteVec(n, fill); }
ByteVec with(ByteVec v, std::size_t at, std::uint8_t value) {
  v.at(at) = value;
  return v;
}

// One word per event: "code@offset+size" for a record ("R" for a command response),
// "!@offset" for a framing error; offsets left out when with_offsets is false.
std::string summary(const std::vector<Event>& events, bool with_offsets) {
  std::string s;
  for (const Event& e : events) {
    s += s.empty() ? "" : " ";
    s += e.error ? "!" : e.kind == RecordKind::kCommandResponse ? "R" : fmt::format("{:X}", e.code);
    if (with_offsets) s += fmt::format("@{}", e.offset);
    if (!e.error) s += fmt::format("+{}", e.bytes.size());
  }
  return s;
}

std::string error_texts(const std::vector<Event>& events) {
  std::string s;
  for (const Event& e : events) s += e.error ? e.text + " | " : "";
  return s;
}

// The checksum one bit at a time, as defined: reflected polynomial 0x1021, initial value
// 0xFFFF, final complement.
std::uint16_t crc16_bitwise(std::span<const std::uint8_t> bytes) {
  std::uint16_t crc = 0xFFFF;
  for (const std::uint8_t b : bytes) {
    crc ^= b;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) != 0 ? static_cast<std::uint16_t>((crc >> 1) ^ 0x8408) : crc >> 1;
  }
  return static_cast<std::uint16_t>(~crc);
}

TEST(Crc16Diag, MatchesTheDefinitionAtEveryLengthAndAlignment) {
  const std::string_view check = "123456789";
  EXPECT_EQ(crc16_diag({reinterpret_cast<const std::uint8_t*>(check.data()), check.size()}), 0x906E);
  EXPECT_EQ(crc16_diag({}), 0x0000);
  // Lengths around the eight-byte blocks, from every start within a block.
  ByteVec data(64);
  std::uint32_t x = 1;
  for (auto& b : data) b = static_cast<std::uint8_t>((x = x * 1103515245u + 12345u) >> 16);
  for (std::size_t from = 0; from < 8; ++from) {
    for (std::size_t n = 0; from + n <= data.size(); ++n) {
      const std::span<const std::uint8_t> s(data.data() + from, n);
      ASSERT_EQ(crc16_diag(s), crc16_bitwise(s)) << from << "+" << n;
    }
  }
}

// Log records are summarised with their offsets; HDLC records and errors must start
// the input or follow a 0x7E instead (a leading 0x7E ends an empty frame).
TEST(Readers, RecordsFramingErrorsAndResynchronisation) {
  const ByteVec a = log_record(0x1001, payload(4));  // 16 bytes
  const ByteVec b = log_record(0x1004, payload(3), 800);  // 15 bytes, a code no dispatcher knows, 1 s
  const ByteVec good = log_frame(0x1001, {});
  const ByteVec after = log_frame(0x1002, payload(6));
  ByteVec escape_before_flag = log_frame(0x1003, payload(4));
  escape_before_flag.insert(escape_before_flag.end() - 1, 0x7D);
  ByteVec cut = log_record(0x1002, payload(40));
  cut.resize(30);
  const ByteVec corrupt = with(log_frame(0x1003, payload(4)), 8, 1);
  // Codes no dispatcher knows, stamps no clock gives: a log only as an exact chain.
  const ByteVec odd = cat({log_record(0xB0C0, payload(4), 0xFFFFFFFFFFFF), log_record(0x0001, {}, 0x123456789ABC)});
  constexpr std::uint64_t kT0 = 800ull * 86400 * 365 * 40;  // 2020
  constexpr std::uint64_t kHour = 3600 * 800;
  const ByteVec hour_a = log_record(0x1001, payload(4), kT0);
  ByteVec huge(HdlcReader::kMaxFrame + 10, 0x11);
  huge.push_back(0x7E);
  const struct {
    const char* name;
    InputFormat format;
    ByteVec input;
    std::string want;       // the summary
    std::string text = "";  // part of the error texts
  } cases[] = {
      {"empty log", kLog, {}, ""},
      {"length below 12", kLog, cat({a, {0x05, 0x00, 0x0F, 0x10, 0, 0, 0}, b}), "1001@0+16 !@16 1004@23+15",
       "log record length 5 is below 12; skipped 7 bytes to the next record at byte 23"},
      {"length past the end", kLog, cat({a, cut}), "1001@0+16 !@16",
       "log record length 52 runs past the end of the input (30 bytes left); no further record (30 bytes skipped)"},
      {"input ends inside a header", kLog, cat({a, {0x20, 0x00, 0x01}}), "1001@0+16 !@16",
       "the input ends inside a log header (3 bytes left)"},
      // Claims 14 bytes but carries 32: the zeros after the 14 are skipped.
      {"short lying length", kLog, cat({with(log_record(0x1003, payload(20)), 0, 14), b, b}),
       "1003@0+14 !@14 1004@32+15 1004@47+15"},
      // 0x0C 0x00 0x00 0x10 reads as a 12-byte record of code 0x1000, but no header follows it.
      {"header lookalike in garbage", kLog, cat({{3, 0, 0x0C, 0, 0, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF}, b, b}),
       "!@0 1004@16+15 1004@31+15"},
      {"exact chain of odd records", kLog, odd, "B0C0@0+16 1@16+12"},
      {"one record of an unknown code", kLog, log_record(0xB0C0, {}), "B0C0@0+12"},
      {"odd records cut short", kLog, cat({odd, {0x20, 0x00}}), "!@0",
       "no plausible log record (length 16, code 0xB0C0); no further record (30 bytes skipped)"},
      {"bare flags", kHdlc, {0x7E, 0x7E, 0x7E}, ""},
      {"log and response frames", kHdlc, cat({{0x7E}, log_frame(0xB0C0, payload(5, 7), 800), hdlc_frame({0x0C, 1})}),
       "B0C0+17 R+2"},
      {"CRC error", kHdlc, cat({good, corrupt, after}), "1001+12 ! 1002+18", "CRC error in a frame of"},
      // A command response has no lengths to check: it needs a good frame beside it.
      {"response between damaged frames", kHdlc, cat({corrupt, hdlc_frame({0x0C, 1}), corrupt, after}), "! 1002+18",
       "; 2 more damaged frames skipped up to byte 51"},
      {"response after damage", kHdlc, cat({corrupt, hdlc_frame({0x0C, 1}), after}), "! R+2 1002+18"},
      // A good frame shortly before vouches for it, even with damage between and none after.
      {"response after a good frame and damage", kHdlc, cat({good, corrupt, hdlc_frame({0x0C, 1})}), "1001+12 ! R+2"},
      {"escape before the flag", kHdlc, cat({good, escape_before_flag, after}), "1001+12 ! 1002+18",
       "ends with a 0x7D escape before its 0x7E; skipped"},
      {"input ends inside a frame", kHdlc, cat({good, {0x10, 0x00, 0x7D}}), "1001+12 !",
       "the input ends inside a frame (3 bytes after the last 0x7E)"},
      {"garbage glued to a frame", kHdlc, cat({after, {0x01, 0x02, 0x10, 0x33, 0x99}, good}), "1002+18 ! 1001+12",
       "5 bytes of garbage before a frame; skipped"},
      // One error for the whole damaged stretch.
      {"garbage with flags", kHdlc, cat({good, {0x7E, 0x7E, 0x55, 0x7E, 0xAA, 0xBB, 0xCC, 0xDD, 0x7E}, after}),
       "1001+12 ! 1002+18",
       "frame of 1 bytes is too short to hold a CRC; skipped; 1 more damaged frame skipped up to byte 28"},
      {"lengths disagree", kHdlc, cat({hdlc_frame(with(log_frame_content(b), 4, 14)), after}), "! 1002+18",
       "log frame of 19 bytes whose lengths disagree (frame says 15, record says 14); skipped"},
      // Both lengths say 14, the frame carries 15.
      {"lengths agree but not with the frame", kHdlc,
       cat({hdlc_frame(with(with(log_frame_content(b), 4, 14), 2, 14)), after}), "! 1002+18",
       "log frame of 19 bytes whose record length 14 does not fit the 15 bytes it carries; skipped"},
      {"record length below a header", kHdlc,
       cat({hdlc_frame(with(with(log_frame_content(b), 4, 11), 2, 11)), after}), "! 1002+18",
       "log frame of 19 bytes whose record length 11 is shorter than a log header; skipped"},
      {"oversized frame", kHdlc, cat({huge, after}), "! 1002+18", "frame longer than 1048576 bytes; skipped"},
      // The shortest frame is one byte and its CRC: two bytes, the right CRC of nothing, are too few.
      {"CRC alone", kHdlc, cat({good, {0x00, 0x00, 0x7E}, hdlc_frame({0x0C}), after}), "1001+12 ! R+1 1002+18",
       "frame of 2 bytes is too short to hold a CRC; skipped"},
      // Neighbours of codes no dispatcher knows are taken within an hour (2,880,000 units) of each other.
      {"an hour apart", kLog, cat({hour_a, log_record(0x1004, payload(4), kT0 + kHour), {1, 2, 3}}),
       "1001@0+16 1004@16+16 !@32"},
      {"just over an hour apart", kLog, cat({hour_a, log_record(0x1004, payload(4), kT0 + kHour + 1), {1, 2, 3}}),
       "1001@0+16 !@16", "no plausible log record (length 16, code 0x1004)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto ev = read_all(c.format, c.input);
    EXPECT_EQ(summary(ev, c.format == kLog), c.want);
    EXPECT_NE(error_texts(ev).find(c.text), std::string::npos) << error_texts(ev);
    for (const Event& e : ev) {
      if (c.format != kHdlc) continue;
      EXPECT_TRUE(e.offset == 0 ? c.input[0] != 0x7E : c.input.at(e.offset - 1) == 0x7E) << e.offset;
    }
  }
}

// More than one buffer's worth through a pipe in small writes: headers and records
// straddle both short reads and buffer refills.
TEST(LogReader, RecordsSplitAcrossShortReadsAndRefills) {
  const auto record = [](std::size_t i) {
    return log_record(static_cast<std::uint16_t>(0x1000 + i % 300), payload(i % 997, static_cast<std::uint8_t>(i)));
  };
  ByteVec all;
  std::size_t count = 0;
  for (; all.size() < ByteStream::kBufferSize + 100000; ++count) {
    const ByteVec r = record(count);
    all.insert(all.end(), r.begin(), r.end());
  }
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::thread writer([&] {
    for (std::size_t i = 0, n = 0; i < all.size(); i += n) {
      n = std::min<std::size_t>(4093, all.size() - i);
      ASSERT_EQ(::write(fds[1], all.data() + i, n), static_cast<ssize_t>(n));
    }
    ::close(fds[1]);
  });
  ByteStream in(fds[0], true, std::nullopt);
  LogReader reader(in);
  const auto ev = read_all(reader);
  writer.join();
  ASSERT_EQ(ev.size(), count);
  for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(ev[i].bytes, record(i)) << i;
}

TEST(HdlcReader, EscapesAnywhereIncludingTheCrcAtTheFrameEnd) {
  // Payloads whose CRC bytes need escaping, so escapes sit right before the 0x7E.
  int found = 0;
  for (unsigned tweak = 0; tweak < 65536 && found < 4; ++tweak) {
    const ByteVec record =
        log_record(0x1001, {0x7E, 0x7D, static_cast<std::uint8_t>(tweak), static_cast<std::uint8_t>(tweak >> 8), 0x7E});
    const ByteVec frame = hdlc_frame(log_frame_content(record));
    if (frame[frame.size() - 3] != 0x7D && frame[frame.size() - 4] != 0x7D) continue;
    ++found;
    const auto ev = read_all(kHdlc, frame);
    ASSERT_EQ(summary(ev, false), "1001+17") << error_texts(ev);
    EXPECT_EQ(ev[0].bytes, record);
  }
  EXPECT_EQ(found, 4);
}

TEST(DetectFormat, TellsLogRecordsFromHdlcFramesWithoutConsuming) {
  const ByteVec frame = log_frame(0x1069, payload(30, 0x41));
  const std::pair<ByteVec, InputFormat> cases[] = {
      {cat({log_record(0x1001, payload(3, 0x7E)), log_record(0x1002, {}), log_record(0x1003, {})}), kLog},
      {log_record(0x1001, payload(3, 1)), kLog},  // one record, the whole input
      {cat({frame, hdlc_frame({0x0C, 1})}), kHdlc},
      // Garbage ahead of the frames can read as a chain of "log headers"; the CRCs decide.
      {cat({{'g', 'a', 'r', 'b', 'a', 'g', 'e', 0x7E}, frame, frame, frame}), kHdlc},
      {{1, 2, 3, 0x7E, 4, 5, 6, 0x7E}, kLog},
      // A first frame longer than the first look (a record of the largest size, every
      // byte escaped), with or without bytes ahead of it.
      {cat({log_frame(0x1069, payload(0xFFFF - 12, 0x7E)), frame}), kHdlc},
      {cat({{'g', 0x7E}, log_frame(0x1069, payload(0xFFFF - 12, 0x7D)), frame}), kHdlc},
      {cat({payload(40000, 0x20), {0x7E}, payload(0xFFFF, 0x20)}), kLog},
  };
  int i = 0;
  for (const auto& [input, want] : cases) {
    ByteStream in(input);
    EXPECT_EQ(detect_format(in), want) << "case " << i;
    EXPECT_EQ(in.offset(), 0u) << "case " << i++;
  }
}

}  // namespace
}  // namespace cdmadiag::test
