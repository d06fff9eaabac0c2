#include "run/output_names.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "platform/text_codec.h"

namespace kelvane {
namespace {

// A run never takes its own outputs for sources and sweeps only its own
// leftovers, so the names must be recognised exactly: letter case included,
// and never a name of another job that merely starts alike.
TEST(OutputNamesTest, RecognisesExactlyTheJobsOwnNames) {
  const OutputNames zip(L"Daily", L".zip");
  const OutputNames folder(L"Daily", L"");
  EXPECT_EQ(zip.LogName(), L"Daily.log");
  EXPECT_EQ(zip.LockName(), L".Daily.kvn-lock");
  EXPECT_EQ(platform::TemporaryName(L".Daily.zip", 123, 4), L".Daily.zip.kvn-123-4.tmp");
  EXPECT_EQ(OutputNames::WorkStem(L"Daily_2026-12-05_09-07.zip"), L".Daily_2026-12-05_09-07.zip");
  struct Row {
    const wchar_t* name;
    bool zipTarget, zipTemporary, zipOwn, folderTarget, folderOwn;
    bool folderTemporary = false;
  } rows[] = {
      {L"Daily.zip", true, false, true, false, false},
      {L"Daily_2026-12-05_09-07.zip", true, false, true, false, false},
      {L"Daily", false, false, false, true, true},
      {L"Daily_2026-12-05_09-07", false, false, false, true, true},
      {L".Daily.zip.kvn-123-4.tmp", false, true, true, false, false},
      {L".Daily_2026-12-05_09-07.zip.kvn-1-2.tmp", false, true, true, false, false},
      {L"Daily.log", false, false, true, false, true},
      {L".Daily.kvn-lock", false, false, true, false, true},
      {L"Daily.kvncat", false, false, true, false, true},
      {L".Daily.kvncat.kvn-9-1.tmp", false, true, true, false, true, true},
      {L"Daily.kvncat.kvn-9-1.tmp", false, false, false, false, false},
      {L".Daily2.kvncat.kvn-9-1.tmp", false, false, false, false, false},
      {L"DAILY.ZIP", false, false, false, false, false},
      {L"daily.zip", false, false, false, false, false},
      {L"Daily.log.1", false, false, false, false, false},
      {L"Daily2.zip", false, false, false, false, false},
      {L".Daily2.zip.kvn-1-2.tmp", false, false, false, false, false},
      {L"Daily_2026-12-05.zip", false, false, false, false, false},
      {L"Daily.zip.kvn-1-2.tmp", false, false, false, false, false},
      {L".Daily.zip.kvn-x-2.tmp", false, false, false, false, false},
      {L".Daily.zip.kvn--4.tmp", false, false, false, false, false},
      {L".Daily.zip.kvn-1-4.tmp.x", false, false, false, false, false},
      {L".Daily.zip.kvn-tmp", false, false, false, false, false},
      {L"Daily.7z", false, false, false, false, false},
  };
  for (const Row& row : rows) {
    const std::string name = platform::ToNative(row.name);
    EXPECT_EQ(zip.IsTarget(row.name), row.zipTarget) << name;
    EXPECT_EQ(zip.IsTemporary(row.name), row.zipTemporary) << name;
    EXPECT_EQ(zip.IsOwnOutput(row.name), row.zipOwn) << name;
    EXPECT_EQ(folder.IsTarget(row.name), row.folderTarget) << name;
    EXPECT_EQ(folder.IsTemporary(row.name), row.folderTemporary) << name;
    EXPECT_EQ(folder.IsOwnOutput(row.name), row.folderOwn) << name;
  }
}

}  // namespace
}  // namespace kelvane
