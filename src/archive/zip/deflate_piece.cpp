#include "archive/zip/deflate_piece.h"

#include <libdeflate.h>

#include <climits>

namespace kelvane {

PieceDeflater::PieceDeflater(int level) {
  ready_ = deflateInit2(&stream_, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
  whole_ = libdeflate_alloc_compressor(level);
}

PieceDeflater::~PieceDeflater() {
  if (ready_) deflateEnd(&stream_);
  if (whole_ != nullptr) libdeflate_free_compressor(whole_);
}

bool PieceDeflater::DeflateWhole(const std::vector<uint8_t>& input, std::vector<uint8_t>* output) {
  output->resize(libdeflate_deflate_compress_bound(whole_, input.size()));
  const size_t written = libdeflate_deflate_compress(whole_, input.data(), input.size(),
                                                     output->data(), output->size());
  if (written == 0) return false;  // cannot happen within the bound
  output->resize(written);
  return true;
}

bool PieceDeflater::Deflate(const std::vector<uint8_t>& dictionary,
                            const std::vector<uint8_t>& input, bool last,
                            std::vector<uint8_t>* output) {
  if (last && dictionary.empty() && whole_ != nullptr) return DeflateWhole(input, output);
  if (!ready_ || input.size() > UINT_MAX || dictionary.size() > kDeflateWindow) return false;
  if (deflateReset(&stream_) != Z_OK) return false;
  if (!dictionary.empty() && deflateSetDictionary(&stream_, dictionary.data(),
                                                  static_cast<uInt>(dictionary.size())) != Z_OK) {
    return false;
  }
  // The bound holds for Z_FINISH; a sync flush adds its empty stored block.
  output->resize(deflateBound(&stream_, static_cast<uLong>(input.size())) + 16);
  stream_.next_in = const_cast<Bytef*>(input.data());
  stream_.avail_in = static_cast<uInt>(input.size());
  size_t written = 0;
  for (;;) {
    stream_.next_out = output->data() + written;
    stream_.avail_out = static_cast<uInt>(output->size() - written);
    const int status = deflate(&stream_, last ? Z_FINISH : Z_SYNC_FLUSH);
    written = output->size() - stream_.avail_out;
    if (status == Z_STREAM_ERROR) return false;
    if (last ? status == Z_STREAM_END : stream_.avail_out > 0) break;
    output->resize(output->size() * 2);
  }
  output->resize(written);
  return true;
}

}  // namespace kelvane
