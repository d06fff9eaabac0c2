// A piece of a file deflated on its own, so that the pieces of one file can be
// compressed on several threads and still form one deflate stream.
//
// A piece starts from the last 32 KiB before it as its dictionary (so it
// compresses as well as if the stream had run through), and every piece but
// the last ends with a sync flush, on a byte boundary and without the final
// block bit; the pieces' outputs then simply follow each other. The last
// piece ends the stream.
//
// A file that is one piece (most files of a real tree) has no dictionary and
// no flush to keep: libdeflate compresses such a whole buffer two to three
// times faster than zlib at the same level, and a little smaller.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

struct libdeflate_compressor;

namespace kelvane {

// How much of what came before a piece deflate can refer back to.
inline constexpr size_t kDeflateWindow = 32768;

// Deflates pieces at one level, reusing its zlib state; one per thread.
class PieceDeflater {
 public:
  explicit PieceDeflater(int level);
  ~PieceDeflater();
  PieceDeflater(const PieceDeflater&) = delete;
  PieceDeflater& operator=(const PieceDeflater&) = delete;

  // Replaces `*output` with the raw deflate data of `input`, which follows
  // `dictionary` (at most kDeflateWindow bytes, empty at a file's start) in
  // its file. `last` ends the stream. False when zlib fails.
  bool Deflate(const std::vector<uint8_t>& dictionary, const std::vector<uint8_t>& input, bool last,
               std::vector<uint8_t>* output);

 private:
  bool DeflateWhole(const std::vector<uint8_t>& input, std::vector<uint8_t>* output);

  z_stream stream_{};
  bool ready_ = false;
  libdeflate_compressor* whole_ = nullptr;
};

}  // namespace kelvane
