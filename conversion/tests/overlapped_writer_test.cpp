// The writer thread behind a file written while it is converted: every byte
// arrives in order while the caller hands over the next blocks, also when
// the file takes them slowly (a pipe read a little at a time).
#include "conversion/overlapped_writer.h"

#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace ostrevin {
namespace {

TEST(OverlappedWriterTest, EveryBlockArrivesInOrderAtASlowReader) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  std::string received;
  std::thread reader([&] {
    char chunk[65536];
    ssize_t got;
    while ((got = read(ends[0], chunk, sizeof chunk)) > 0) {
      received.append(chunk, static_cast<std::size_t>(got));
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  // Blocks of different sizes (one larger than the writer's buffers, the
  // others filling them unevenly), each of its own letter, so that a block
  // written twice or over another shows.
  std::string sent;
  {
    OverlappedWriter writer(ends[1]);
    for (std::size_t i = 0; i < 12; ++i) {
      const std::size_t size = i == 5 ? 2 * OverlappedWriter::kBufferBytes + 12345
                                      : OverlappedWriter::kBufferBytes / 3 + 997 * i;
      const std::string block(size, static_cast<char>('a' + i));
      writer.Write(block);
      sent += block;
    }
    EXPECT_EQ(writer.Finish(), 0);
  }
  close(ends[1]);
  reader.join();
  close(ends[0]);
  EXPECT_EQ(received.size(), sent.size());
  EXPECT_TRUE(received == sent);
}

}  // namespace
}  // namespace ostrevin
