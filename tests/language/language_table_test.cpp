#include "language/language_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "json/json_document.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

class LanguageTableTest : public ::testing::Test {
 protected:
  uint32_t Load(const std::string& content) {
    test::WriteBytes(dir_.Native("Config.json"), content);
    return table_.LoadLanguage(dir_.Wide("Config.json"), sink_);
  }

  test::TempDir dir_;
  LanguageTable table_;
  std::vector<std::wstring> messages_;
  MessageSink sink_ = [this](const std::wstring& m) { messages_.push_back(m); };
};

// Without a language file the built-in texts stand, and that is said.
TEST_F(LanguageTableTest, BuiltInTextsAndTheMissText) {
  EXPECT_EQ(table_.LoadLanguage(dir_.Wide("Config.json"), sink_), 2u);
  EXPECT_EQ(messages_,
            std::vector<std::wstring>{L"Die Config-Datei konnte nicht geöffnet werden!"});
  const size_t builtIn = table_.size();
  EXPECT_EQ(table_.GetText(L"ui_menu_new"), L"Neu");
  EXPECT_EQ(table_.GetText(L"ui_diskspace"),
            L"Der Platz auf [1] reicht nicht aus.\nBenötigt werden [2],\nvorhanden sind [3].");
  EXPECT_EQ(table_.GetText(L"no_such_key"), L"Text: no_such_key nicht gefunden?");
  EXPECT_EQ(table_.GetText(L"UI_MENU_NEW"), L"Text: UI_MENU_NEW nicht gefunden?");
  EXPECT_EQ(table_.size(), builtIn);  // a miss does not add
}

TEST_F(LanguageTableTest, OverlaysTheChosenLanguageOnly) {
  EXPECT_EQ(Load(R"({"Language": {"Current": 2,
      "1": [{"ui_menu_new": "One"}],
      "2": [{"ui_menu_new": "New"}, {"brand_new": "Added", "ignored": "x"}, {"UI_MENU_NEW": "Upper"}]}})"),
            0u);
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(table_.GetText(L"ui_menu_new"), L"New");
  EXPECT_EQ(table_.GetText(L"brand_new"), L"Added");
  EXPECT_EQ(table_.GetText(L"ignored"), L"Text: ignored nicht gefunden?");
  EXPECT_EQ(table_.GetText(L"UI_MENU_NEW"), L"Upper");
  EXPECT_EQ(table_.GetText(L"ui_menu_load"), L"Laden");
}

// A file that is not JSON, or whose language sections are malformed, is
// said in one line that names it (and where JSON breaks); the built-in
// texts stay.
TEST_F(LanguageTableTest, AFileThatCannotBeUsedIsSaidAndKeepsBuiltInTexts) {
  const std::pair<const char*, std::wstring> rows[] = {
      // clang-format off
      {"{ not json", L": kein gültiges JSON ab Byte 2"},
      {"", L": die Datei ist leer"}, {R"({"language": {}})", L""}, {R"({"Language": []})", L""},
      {R"({"Language": {"1": []}})", L""}, {R"({"Language": {"Current": 0, "0": []}})", L""},
      {R"({"Language": {"Current": "1", "1": []}})", L""},
      {R"({"Language": {"Current": 3, "1": []}})", L""},
      {R"({"Language": {"Current": 1, "1": {}}})", L""},
      {R"({"Language": {"Current": 1, "1": [["a"]]}})", L""},
      {R"({"Language": {"Current": 1, "1": [{}]}})", L""},
      {R"({"Language": {"Current": 1, "1": [{"": "x"}]}})", L""},
      {R"({"Language": {"Current": 1, "1": [{"k": ""}]}})", L""},
      {R"({"Language": {"Current": 1, "1": [{"k": 5}]}})", L""},
      // clang-format on
  };
  for (const auto& [content, where] : rows) {
    messages_.clear();
    EXPECT_EQ(Load(content), 1627u) << content;
    EXPECT_EQ(messages_, std::vector<std::wstring>{table_.GetText(L"config_incorrect") + L" (" +
                                                   dir_.Wide("Config.json") + where + L")"})
        << content;
    EXPECT_EQ(table_.GetText(L"ui_menu_new"), L"Neu") << content;
  }
}

TEST_F(LanguageTableTest, EntriesBeforeAFaultStayAndTheMessageUsesThem) {
  EXPECT_EQ(Load(R"({"Language": {"Current": 1, "1": [
      {"ui_menu_new": "New"}, {"config_incorrect": "Bad config!"}, {"ui_menu_load": ""}]}})"),
            1627u);
  EXPECT_EQ(table_.GetText(L"ui_menu_new"), L"New");
  EXPECT_EQ(table_.GetText(L"ui_menu_load"), L"Laden");
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], L"Bad config! (" + dir_.Wide("Config.json") + L")");
}

// The shipped file has both languages complete, with the same placeholders.
TEST_F(LanguageTableTest, ShippedConfigHasBothLanguagesComplete) {
  const std::string source =
      std::getenv("KELVANE_SOURCE_DIR") ? std::getenv("KELVANE_SOURCE_DIR") : ".";
  JsonDocument doc;
  ASSERT_TRUE(doc.LoadFile(platform::FromNative(source + "/res/Config.json")).ok());
  const JsonNode* language = doc.Find(nullptr, "Language");
  ASSERT_TRUE(language);
  const LanguageTable builtIn;
  for (const char* member : {"1", "2"}) {
    const JsonNode* texts = doc.Find(language, member);
    ASSERT_TRUE(texts) << member;
    EXPECT_EQ(texts->children.size(), builtIn.size()) << member;
    for (const auto& entry : texts->children) {
      const std::wstring key = platform::FromNative(entry->children.front()->key);
      const std::wstring text = JsonDocument::ValueText(entry->children.front().get());
      const std::wstring original = builtIn.GetText(key);
      for (const wchar_t* placeholder : {L"[1]", L"[2]", L"[3]", L"<b>"}) {
        EXPECT_EQ(text.find(placeholder) == std::wstring::npos,
                  original.find(placeholder) == std::wstring::npos)
            << member << " " << std::string(key.begin(), key.end());
      }
      if (std::string(member) == "2") {
        EXPECT_EQ(text, original);
      }
    }
  }
  LanguageTable table;
  std::vector<std::wstring> messages;
  EXPECT_EQ(table.LoadLanguage([&](const std::wstring& m) { messages.push_back(m); }), 0u)
      << "Config.json is not beside the test program";
  EXPECT_EQ(table.GetText(L"ui_menu_new"), L"New");
  EXPECT_EQ(table.size(), builtIn.size());
}

}  // namespace
}  // namespace kelvane
