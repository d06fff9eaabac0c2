// The folder picker's memory and the file dialogs, with the desktop's
// dialogs answered by the test.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "platform/text_codec.h"
#include "profile/profile_store.h"
#include "support/test_support.h"
#include "ui/windows/file_dialog.h"
#include "ui/windows/folder_picker.h"
#include "window/window_test_support.h"

namespace kelvane::ui {
namespace {

class FolderPickerTest : public ::testing::Test {
 protected:
  FolderPickerTest() : profile_(dir_.Wide("profile.json")) {
    std::filesystem::create_directories(dir_.Native("data/photos"));
    std::filesystem::create_directories(dir_.Native("music"));
  }
  std::wstring Stored(const std::string& value) {
    return profile_.GetString("BrowseFolders", value, L"(none)");
  }
  test::TempDir dir_;
  ProfileStore profile_;
  test::FakeDialogs dialogs_;
};

// The identifier is stored once a folder is chosen, and stays; the chosen
// folder ends in a separator and is where the next pick of the purpose
// starts; a cancel gives back where it opened.
TEST_F(FolderPickerTest, AChosenFolderIsRememberedForItsPurpose) {
  std::wstring path;
  EXPECT_EQ(BrowseForFolder(path, nullptr, kPurposeInclude, profile_, L""), kNoFolderChosen);
  EXPECT_EQ(Stored("ID_Backup_Include"), L"(none)");
  EXPECT_EQ(Stored("LastDir_Backup_Include"), L"(none)");
  dialogs_.folders = {dir_.Wide("data"), dir_.Wide("music")};
  EXPECT_EQ(BrowseForFolder(path, nullptr, kPurposeInclude, profile_, L""), kFolderChosen);
  EXPECT_EQ(path, dir_.Wide("data/"));
  const std::wstring id = Stored("ID_Backup_Include");
  EXPECT_TRUE(std::regex_match(platform::ToNative(id),
                               std::regex(R"(\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\})")))
      << platform::ToNative(id);
  path.clear();
  BrowseForFolder(path, nullptr, kPurposeStorage, profile_, L"");
  EXPECT_EQ(Stored("LastDir_Backup_Include"), dir_.Wide("data/"));
  EXPECT_EQ(Stored("LastDir_Backup_Storeage"), dir_.Wide("music/"));
  EXPECT_NE(Stored("ID_Backup_Storeage"), id);
  path.clear();
  BrowseForFolder(path, nullptr, kPurposeInclude, profile_, L"");
  EXPECT_EQ(dialogs_.folderStarts.back(), dir_.Wide("data"));
  EXPECT_EQ(path, dir_.Wide("data"));
  EXPECT_EQ(Stored("ID_Backup_Include"), id);
}

TEST_F(FolderPickerTest, ARememberedFolderThatWasDeletedStartsAtItsParent) {
  std::wstring path;
  dialogs_.folders = {dir_.Wide("data/photos")};
  BrowseForFolder(path, nullptr, kPurposeExclude, profile_, L"");
  std::filesystem::remove(dir_.Native("data/photos"));
  path.clear();
  BrowseForFolder(path, nullptr, kPurposeExclude, profile_, L"");
  EXPECT_EQ(dialogs_.folderStarts.back(), dir_.Wide("data"));
}

TEST_F(FolderPickerTest, StartFolderFallsBackToHome) {
  EXPECT_EQ(StartFolder(dir_.Wide("data/gone/deeper/"), L"/home/x"), dir_.Wide("data"));
  EXPECT_EQ(StartFolder(L"", L"/home/x"), L"/home/x");
  EXPECT_EQ(StartFolder(L"relative/path", L"/home/x"), L"/home/x");
  // A file is not a folder to open at.
  test::WriteBytes(dir_.Native("data/file.txt"), "x");
  EXPECT_EQ(StartFolder(dir_.Wide("data/file.txt"), L"/home/x"), dir_.Wide("data"));
}

TEST(FileDialogTest, FiltersWithAndWithoutTrailingBarsAreAlike) {
  EXPECT_EQ(FileDialog(FileDialog::kOpen, L"Backup|*.kvnjob||", L"").wildcard(),
            L"Backup|*.kvnjob");
  EXPECT_EQ(FileDialog(FileDialog::kOpen, L"Backup|*.kvnjob", L"").wildcard(), L"Backup|*.kvnjob");
}

TEST(FileDialogTest, ASavedNameWithoutExtensionGetsTheFiltersOne) {
  test::FakeDialogs dialogs;
  dialogs.files = {L"/tmp/jobs/Daily", L"/tmp/jobs/Daily.json", L"/tmp/jobs.d/Weekly"};
  FileDialog save(FileDialog::kSave, L"Backup|*.kvnjob||", L"");
  ASSERT_EQ(save.Show(nullptr), FileDialog::kOk);
  EXPECT_EQ(save.path(), L"/tmp/jobs/Daily.kvnjob");
  save.Show(nullptr);
  EXPECT_EQ(save.path(), L"/tmp/jobs/Daily.json");
  save.Show(nullptr);
  EXPECT_EQ(save.path(), L"/tmp/jobs.d/Weekly.kvnjob");
  EXPECT_EQ(save.Show(nullptr), FileDialog::kCancelled);
  EXPECT_EQ(save.path(), L"");
  EXPECT_EQ(dialogs.fileModes.front(), DialogServices::FileMode::kSave);
  // Opening never adds anything.
  dialogs.files = {L"/tmp/jobs/Daily"};
  FileDialog open(FileDialog::kOpen, L"Backup|*.kvnjob||", L"");
  open.Show(nullptr);
  EXPECT_EQ(open.path(), L"/tmp/jobs/Daily");
}

}  // namespace
}  // namespace kelvane::ui
