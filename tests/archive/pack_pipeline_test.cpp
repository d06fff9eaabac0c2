// The pipeline that deflates files on several threads: what reaches the sink
// must be, file by file and in order, one raw deflate stream (or the stored
// bytes) of exactly what was read, with its CRC-32.
#include "archive/zip/pack_pipeline.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace kelvane {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t kPiece = PackPipeline::kPieceSize;

using test::MemoryFile;

struct Entry {
  bool stored = false;
  int level = 0;
  Bytes data;
  uint32_t crc = 0;
  platform::ContentDigest digest;
  bool ended = false;
};

class RecordingSink : public PackPipeline::Sink {
 public:
  int BeginEntry(bool stored, int level) override {
    entries.push_back({});
    entries.back().stored = stored;
    entries.back().level = level;
    return 0;
  }
  int WriteEntry(uint8_t* data, size_t n) override {
    entries.back().data.insert(entries.back().data.end(), data, data + n);
    return 0;
  }
  int EndEntry(uint32_t crc, const platform::ContentDigest& digest) override {
    entries.back().crc = crc;
    entries.back().digest = digest;
    entries.back().ended = true;
    return 0;
  }
  std::vector<Entry> entries;
};

Bytes Text(size_t n, unsigned seed = 1) {
  std::mt19937 random(seed);
  static const char* const words[] = {"alpha ", "beta ", "gamma ", "delta\n", "epsilon ", "zeta "};
  Bytes out;
  while (out.size() < n) {
    const char* word = words[random() % 6];
    out.insert(out.end(), word, word + std::strlen(word));
  }
  out.resize(n);
  return out;
}

Bytes Noise(size_t n, unsigned seed = 2) {
  std::mt19937 random(seed);
  Bytes out(n);
  for (uint8_t& byte : out) byte = static_cast<uint8_t>(random());
  return out;
}

// The bytes a raw deflate stream holds; fails the test unless the stream
// ends exactly at the end of `deflated`.
Bytes Inflate(const Bytes& deflated) {
  z_stream z{};
  EXPECT_EQ(inflateInit2(&z, -MAX_WBITS), Z_OK);
  Bytes out(1 << 16);
  size_t filled = 0;
  z.next_in = const_cast<Bytef*>(deflated.data());
  z.avail_in = static_cast<uInt>(deflated.size());
  int status = Z_OK;
  while (status == Z_OK) {
    if (filled == out.size()) out.resize(out.size() * 2);
    z.next_out = out.data() + filled;
    z.avail_out = static_cast<uInt>(out.size() - filled);
    status = inflate(&z, Z_NO_FLUSH);
    filled = out.size() - z.avail_out;
  }
  EXPECT_EQ(status, Z_STREAM_END) << "the deflate stream does not end";
  EXPECT_EQ(z.avail_in, 0u) << "bytes after the end of the deflate stream";
  inflateEnd(&z);
  out.resize(filled);
  return out;
}

uint32_t Crc(const Bytes& bytes) {
  return static_cast<uint32_t>(crc32(0, bytes.data(), static_cast<uInt>(bytes.size())));
}

// The original bytes of an entry, and checks of its CRC-32, digest and size.
Bytes Unpacked(const Entry& entry) {
  Bytes bytes = entry.stored ? entry.data : Inflate(entry.data);
  EXPECT_TRUE(entry.ended);
  EXPECT_EQ(entry.crc, Crc(bytes));
  EXPECT_EQ(entry.digest, platform::DigestOf(std::string_view(
                              reinterpret_cast<const char*>(bytes.data()), bytes.size())));
  return bytes;
}

// Adds `file`, expected at the size it has.
int Add(PackPipeline& pipeline, MemoryFile& file, bool* dropped) {
  platform::FileStatus status;
  file.Status(&status);
  return pipeline.Add(file, status.size, &status, dropped);
}

// Pieces of every size, none at all too, join into one stream with one CRC.
TEST(PackPipelineTest, PiecesOfEverySizeJoinIntoOneStreamWithOneCrc) {
  const size_t sizes[] = {0, 1, kPiece - 1, kPiece, kPiece + 1, 3 * kPiece + 7, 2 * kPiece};
  RecordingSink sink;
  PackPipeline pipeline(6, 3, sink);
  std::vector<Bytes> files;
  for (size_t size : sizes) {
    files.push_back(Text(size, static_cast<unsigned>(size)));
    MemoryFile file(files.back());
    bool dropped = true;
    ASSERT_EQ(Add(pipeline, file, &dropped), 0);
    EXPECT_FALSE(dropped);
  }
  ASSERT_EQ(pipeline.Finish(), 0);
  ASSERT_EQ(sink.entries.size(), files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE("file of " + std::to_string(sizes[i]) + " bytes");
    // Nothing, or one byte, deflated is longer than itself.
    EXPECT_EQ(sink.entries[i].stored, sizes[i] <= 1);
    EXPECT_EQ(Unpacked(sink.entries[i]), files[i]);
  }
  // Joined pieces compress as a whole would: the dictionary carries over.
  EXPECT_LT(sink.entries[5].data.size(), 3 * kPiece / 3);
}

// The size a file had at the scan is only a hint: one that shrank or grew
// since goes in as it is now.
TEST(PackPipelineTest, AFileOfAnotherSizeThanExpectedGoesInAsItIs) {
  RecordingSink sink;
  PackPipeline pipeline(6, 2, sink);
  const Bytes text = Text(2 * kPiece + 100);
  const uint64_t expected[] = {
      0, 1, text.size() / 2, text.size() - 1, text.size() + 1, 3 * text.size()};
  for (uint64_t size : expected) {
    MemoryFile file(text);
    platform::FileStatus status;
    file.Status(&status);
    bool dropped = true;
    ASSERT_EQ(pipeline.Add(file, size, &status, &dropped), 0);
  }
  ASSERT_EQ(pipeline.Finish(), 0);
  ASSERT_EQ(sink.entries.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(Unpacked(sink.entries[i]), text) << "expected " << expected[i] << " bytes";
  }
}

TEST(PackPipelineTest, WhatDoesNotCompressIsStoredAndTheFirstPieceDecides) {
  RecordingSink sink;
  PackPipeline pipeline(6, 2, sink);
  Bytes mixed = Noise(kPiece);
  const Bytes text = Text(2 * kPiece);
  mixed.insert(mixed.end(), text.begin(), text.end());
  Bytes textThenNoise = Text(kPiece);
  const Bytes noise = Noise(2 * kPiece, 7);
  textThenNoise.insert(textThenNoise.end(), noise.begin(), noise.end());
  // Noise repeated has every byte value alike, yet its strings repeat; noise
  // of a small alphabet is what Huffman coding shrinks.
  Bytes repeated;
  const Bytes block = Noise(8192, 9);
  for (int i = 0; i < 8; ++i) repeated.insert(repeated.end(), block.begin(), block.end());
  Bytes sevenBits = Noise(70000, 11);
  for (uint8_t& byte : sevenBits) byte &= 0x7F;
  const std::vector<Bytes> files = {Noise(3 * kPiece + 11), Noise(500), Text(500), mixed,
                                    textThenNoise,          repeated,   sevenBits};
  for (const Bytes& bytes : files) {
    MemoryFile file(bytes);
    bool dropped = true;
    ASSERT_EQ(Add(pipeline, file, &dropped), 0);
  }
  ASSERT_EQ(pipeline.Finish(), 0);
  ASSERT_EQ(sink.entries.size(), files.size());
  const bool stored[] = {true, true, false, true, false, false, false};
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE("file " + std::to_string(i));
    EXPECT_EQ(sink.entries[i].stored, stored[i]);
    EXPECT_EQ(Unpacked(sink.entries[i]), files[i]);
  }
}

// Each at the level set when it was added, whatever is still in the works.
TEST(PackPipelineTest, ManySmallFilesArriveInTheirOrder) {
  RecordingSink sink;
  PackPipeline pipeline(1, 4, sink);
  std::vector<Bytes> files;
  for (unsigned i = 0; i < 300; ++i) {
    if (i % 100 == 0) pipeline.SetLevel(static_cast<int>(i / 25));  // 0, 4, 8
    files.push_back(i % 3 == 0 ? Noise(i * 37, i) : Text(i * 101, i));
    MemoryFile file(files.back(), 1000);
    bool dropped = true;
    ASSERT_EQ(Add(pipeline, file, &dropped), 0);
  }
  ASSERT_EQ(pipeline.Finish(), 0);
  ASSERT_EQ(sink.entries.size(), files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(Unpacked(sink.entries[i]), files[i]) << i;
    EXPECT_EQ(sink.entries[i].level, static_cast<int>(i / 100 * 4)) << i;
    EXPECT_TRUE(i >= 100 || sink.entries[i].stored) << i;
  }
}

TEST(PackPipelineTest, AFileThatCannotBeReadLeavesNoEntry) {
  RecordingSink sink;
  PackPipeline pipeline(6, 2, sink);
  const Bytes before = Text(1000, 3);
  const Bytes after = Text(2000, 4);
  MemoryFile first(before);
  // Large, but not larger than what may wait in memory: by the time the
  // error comes, its first pieces are long compressed.
  MemoryFile broken(Text(PackPipeline::kBytesInFlight - 4 * kPiece));
  broken.failAt = PackPipeline::kBytesInFlight - 5 * kPiece + 5;
  MemoryFile last(after);
  bool dropped = false;
  ASSERT_EQ(Add(pipeline, first, &dropped), 0);
  EXPECT_EQ(Add(pipeline, broken, &dropped), EIO);
  EXPECT_TRUE(dropped);
  ASSERT_EQ(Add(pipeline, last, &dropped), 0);
  ASSERT_EQ(pipeline.Finish(), 0);
  ASSERT_EQ(sink.entries.size(), 2u);
  EXPECT_EQ(Unpacked(sink.entries[0]), before);
  EXPECT_EQ(Unpacked(sink.entries[1]), after);
}

// A file larger than what may wait in memory has its entry begun before it
// is read to the end; a read error then ends the entry with what was read.
TEST(PackPipelineTest, AReadErrorLateInALargeFileEndsItsEntryConsistently) {
  RecordingSink sink;
  PackPipeline pipeline(1, 2, sink);
  const Bytes text = Text(PackPipeline::kBytesInFlight + 8 * kPiece);
  MemoryFile file(text);
  file.failAt = PackPipeline::kBytesInFlight + 4 * kPiece + 3;
  bool dropped = true;
  EXPECT_EQ(Add(pipeline, file, &dropped), EIO);
  EXPECT_FALSE(dropped);
  ASSERT_EQ(pipeline.Finish(), 0);
  ASSERT_EQ(sink.entries.size(), 1u);
  const Bytes read = Unpacked(sink.entries[0]);
  ASSERT_GT(read.size(), PackPipeline::kBytesInFlight);
  EXPECT_LE(read.size(), file.failAt + 65536);  // up to the read that ran into the error
  EXPECT_TRUE(std::equal(read.begin(), read.end(), text.begin()));
}

// The sink's failure stops all output and is reported from then on.
TEST(PackPipelineTest, ASinkFailureStopsTheOutput) {
  struct FullSink : RecordingSink {
    int WriteEntry(uint8_t* data, size_t n) override {
      if (entries.size() == 2) return ENOSPC;
      return RecordingSink::WriteEntry(data, n);
    }
  } sink;
  PackPipeline pipeline(6, 2, sink);
  for (int i = 0; i < 4; ++i) {
    MemoryFile file(Text(5000, static_cast<unsigned>(i)));
    bool dropped = false;
    Add(pipeline, file, &dropped);
  }
  EXPECT_EQ(pipeline.Finish(), ENOSPC);
  EXPECT_EQ(pipeline.failure(), ENOSPC);
  EXPECT_EQ(sink.entries.size(), 2u);
}

}  // namespace
}  // namespace kelvane
