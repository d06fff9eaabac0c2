#include "archive/zip/deflate_piece.h"

#include <climits>

namespace kelvane {

PieceDeflater::PieceDeflater(int level) {
  ready_ = deflateInit2(&stream_, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
}

PieceDeflater::~PieceDeflater() {
  if (ready_) deflateEnd(&stream_);
}

bool PieceDeflater::Deflate(const std::vector<uint8_t>& dictionary,
                            const std::vector<uint8_t>& input, bool last,
                            std::vector<uint8_t>* output) {
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

uint32_t Crc32(const uint8_t* data, size_t n) {
  uLong crc = crc32(0, nullptr, 0);
  while (n > 0) {
    const uInt step = n > UINT_MAX ? UINT_MAX : static_cast<uInt>(n);
    crc = crc32(crc, data, step);
    data += step;
    n -= step;
  }
  return static_cast<uint32_t>(crc);
}

uint32_t CombineCrc32(uint32_t crcA, uint32_t crcB, uint64_t lengthB) {
  return static_cast<uint32_t>(crc32_combine(crcA, crcB, static_cast<z_off_t>(lengthB)));
}

}  // namespace kelvane
