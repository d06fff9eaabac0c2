// Every user-visible text, looked up by key.
//
// The table starts with the built-in German texts and is overlaid once at
// start-up by the language that "Config.json" beside the program chooses. A
// key found nowhere gives a visible marker text rather than failing. Texts may
// hold line feeds, the placeholders [1] [2] [3] (filled with PrintFEx) and
// markup for the GUI's text renderer.
//
// Filled on the start-up thread, read-only afterwards: lookups from any thread
// are safe once LoadLanguage has returned.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kelvane {

// Shows a message to the user (a message box in the GUI, stderr on a console).
using MessageSink = std::function<void(const std::wstring& message)>;

class LanguageTable {
 public:
  // Fills the built-in texts.
  LanguageTable();

  // The text of `key`, or "Text: <key> nicht gefunden?" for a key in no table.
  std::wstring GetText(std::wstring_view key) const;

  // Overlays the language chosen in "Config.json" beside the executable (or
  // in the installed data folder).
  // Returns 0 (also when the file is not valid JSON: the built-in texts stay),
  // 2 when there is no such file ("load_config_failed" shown), or 1627 when the
  // file's language section is malformed ("config_incorrect" shown; entries
  // before the fault are kept).
  uint32_t LoadLanguage(const MessageSink& showMessage);
  uint32_t LoadLanguage(const std::wstring& configPath, const MessageSink& showMessage);

  size_t size() const { return texts_.size(); }

 private:
  std::unordered_map<std::wstring, std::wstring> texts_;
};

}  // namespace kelvane
