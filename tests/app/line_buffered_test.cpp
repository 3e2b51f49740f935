// Live use: a reader at the other end of a pipe sees each packet as it is decoded.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app_test_util.h"
#include "output_file.h"
#include "sinks.h"

namespace cdmadiag::test {
namespace {

TEST(LineBuffered, PipesAreSeenAndAPacketReachesThePipeBeforeTheRunEnds) {
  const TempDir dir;
  const std::string fifo = dir.file("live");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string plain = dir.write("plain", {1});
  EXPECT_TRUE(involves_pipe({plain}, fifo));
  EXPECT_TRUE(involves_pipe({plain, fifo}, plain));
  EXPECT_FALSE(involves_pipe({plain}, plain));

  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  COrbExpandedMessage msg;
  PacketView p;
  p.msg = &msg;
  const auto sink = make_sink(OutputFormat::kJsonl, fifo);
  sink->set_line_buffered(true);
  sink->packet(p);
  char buf[4096];
  const ssize_t got = ::read(reader, buf, sizeof buf);
  ASSERT_GT(got, 0);
  EXPECT_EQ(std::string(buf, static_cast<std::size_t>(got)).back(), '\n');
  ::close(reader);
}

}  // namespace
}  // namespace cdmadiag::test
