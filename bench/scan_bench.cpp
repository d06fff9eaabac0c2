// Scans the given folders the way a run does (default job filters, no log) and
// prints the file count, the wall time and the heap the result list takes.
//   scan_bench FOLDER...
#include <malloc.h>

#include <chrono>
#include <cstdio>

#include "platform/text_codec.h"
#include "scan/scan_context.h"
#include "scan/scan_sources.h"

int main(int argc, char** argv) {
  using namespace kelvane;
  const size_t heapBefore = mallinfo2().uordblks;
  const auto start = std::chrono::steady_clock::now();
  {
    ScanContext scan(ProcessLog());
    for (int i = 1; i < argc; ++i) scan.includeFolders.push_back(platform::FromNative(argv[i]));
    ScanContext::SetFileFilter(scan.whiteListSpec, L"*.*");
    ScanContext::SetFileFilter(scan.blackListSpec, L"*.tmp");
    ScanSources(scan, [] {});
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const size_t heap = mallinfo2().uordblks - heapBefore;
    const uint32_t files = scan.CountFiles();
    std::printf("files %u  folders %zu  time %.1f ms  result heap %.1f MiB (%.0f bytes/file)\n",
                files, scan.results.size(), ms, heap / 1048576.0,
                files ? static_cast<double>(heap) / files : 0.0);
  }
  return 0;
}
