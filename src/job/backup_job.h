// A backup job: which folders and files to take, where the copy goes and in
// which form, and what the run logs. Jobs travel as JSON documents: ReadJob
// fills a job from one, WriteJobToDocument makes one from a job; a job file is
// such a document on disk (extension ".kvnjob").
//
// WhiteList, BlackList and ExcludeFolders hold one entry per line (CR LF) in
// memory and are arrays of strings in the file; IncludeFolders keeps the user's
// order and duplicates. ArchivePassword is plain in memory and enciphered in
// the file (password_codec.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "json/json_document.h"

namespace kelvane {

// Target kinds (the "Type" member).
enum JobType : uint32_t { kJobTypeFolder = 0, kJobTypeZip = 1, kJobTypeSevenZip = 2 };

struct BackupJob {
  BackupJob();

  // A new job: everything reset except ArchiveCompLevel, AddDate, Overwrite
  // and TestFiles, IncludeFolders empty, and, unlike a record made without a
  // file, files without an extension and hidden files taken, nothing on
  // the black list.
  void SetDefaults();

  // Fills the job from `doc`. True when the document has the "Backup" object
  // and all four lists. A failed read leaves the fields read so far in place;
  // members that are missing or of the wrong kind read as 0, empty or false.
  bool ReadJob(const JsonDocument& doc);

  // The scan's options word (scan_options.h) for this job.
  uint32_t OptionsWord() const;

  std::vector<std::wstring> IncludeFolders;
  std::wstring BlackList = L"*.log\r\n*.tmp";
  std::wstring WhiteList = L"*.*";
  std::wstring ExcludeFolders;
  std::wstring ArchiveFolder;
  std::wstring ArchiveName;
  std::wstring ArchivePassword;
  uint32_t Type = kJobTypeZip;
  uint32_t ArchiveCompLevel = 9;
  bool AddDate = false;
  bool Overwrite = false;  // carried into a run, which does not act on it
  bool TestFiles = false;  // read every saved file back after the backup
  bool LogFolder = false;
  bool LogFiles = false;
  bool LogBlackList = false;
  bool LogErrors = true;
  bool LogRemoveLog = true;
  bool SkipFilesWithoutExtension = true;
  bool ArchiveBitGet = false;
  bool ArchiveBitSet = true;  // carried into a run, which does not act on it
  bool IncludeSystemFiles = false;
  bool IncludeHiddenFiles = false;
  // Symbolic links are saved as links (never followed); absent in older jobs.
  bool IncludeLinks = false;
  // What a run keeps of the job's restore points (retention/keep_policy.h):
  // the newest N, and the newest of each of the last N days, ISO weeks and
  // months that have one; all 0 keeps everything. FullEvery: a run of a job
  // that takes only changed files makes a full backup when the newest full
  // one is that many days old or older; 0 never.
  uint32_t KeepLast = 0;
  uint32_t KeepDays = 0;
  uint32_t KeepWeeks = 0;
  uint32_t KeepMonths = 0;
  uint32_t FullEvery = 0;
  // Where each good run's archive and manifest are copied as well: folders
  // that must already exist (another disk, a mounted share) or rclone
  // remotes "REMOTE:PATH"; absent in older jobs and when empty.
  std::vector<std::wstring> StorageLocations;
  // Telling the user how a run ended (notify/): a desktop notice for runs
  // without a window (0 never, 1 on errors or failure, 2 always), mail to
  // these addresses and a POST of the run's summary to this URL, each on
  // errors or failure (NotifyOn 0) or always (1). Absent means off.
  uint32_t NotifyDesktop = 0;
  std::vector<std::wstring> NotifyMail;
  std::wstring NotifyWebhook;
  uint32_t NotifyOn = 0;
  bool Modified = false;  // changed in the editor since created, loaded or saved
  // The file held an ArchivePassword that is not an enciphered password (typed
  // in plain text, damaged): ArchivePassword is then empty, and a run must
  // refuse the job rather than write an archive without the password.
  bool ArchivePasswordUnreadable = false;
  // Members the file holds with another type than theirs ("Type": "1"): each
  // read as the rules say (0, empty or false), and named here with the value
  // it reads as, so a run can warn about them.
  struct WrongType {
    std::wstring member;
    std::wstring readAs;
  };
  std::vector<WrongType> wrongTypes;
};

// Replaces the content of `doc` with `job`. False only when a node cannot be made.
bool WriteJobToDocument(const BackupJob& job, JsonDocument& doc);

// The compression level for the editor's level text: a signed decimal number
// after optional leading blanks and an optional sign, clamped to 32 bits; 0
// when the text has no leading digits.
uint32_t ParseLevelText(std::wstring_view text);

}  // namespace kelvane
