#include "cli/command_line.h"

#include <algorithm>

#include "util/ascii_case.h"

namespace kelvane {
namespace {

constexpr size_t kMaxTokens = 100;

std::wstring Unquoted(const std::wstring& token) {
  if (token.size() >= 2 && token.front() == L'"' && token.back() == L'"') {
    return token.substr(1, token.size() - 2);
  }
  return token;
}

}  // namespace

bool CommandLineArgs::IsKnown(std::wstring_view name) const {
  return std::find(known_.begin(), known_.end(), name) != known_.end();
}

bool CommandLineArgs::IsSwitch(const std::wstring& token) const {
  if (token.size() < 2) return false;
  if (token[0] == L'-') return true;
  // "/start" is a switch; "/home/ann/job.kvnjob" is a path.
  return token[0] == L'/' && IsKnown(ToLowerAscii(std::wstring_view(token).substr(1)));
}

void CommandLineArgs::Parse(const std::vector<std::wstring>& allTokens) {
  values_.clear();
  every_.clear();
  const size_t count = std::min(allTokens.size(), kMaxTokens);
  if (count > 1 && !IsSwitch(allTokens[1]) && !allTokens[1].empty() && allTokens[1][0] != L'-') {
    values_[L"file"] = Unquoted(allTokens[1]);
  }
  for (size_t i = 1; i < count; ++i) {
    const std::wstring& token = allTokens[i];
    if (!IsSwitch(token)) continue;
    const std::wstring name = ToLowerAscii(std::wstring_view(token).substr(1));
    values_[name] = i + 1 < count && !IsSwitch(allTokens[i + 1]) ? Unquoted(allTokens[++i]) : L"1";
    every_.emplace(name, values_[name]);
  }
}

bool CommandLineArgs::Has(std::wstring_view name) const {
  return values_.contains(ToLowerAscii(name));
}

std::wstring CommandLineArgs::Value(std::wstring_view name) const {
  const auto found = values_.find(ToLowerAscii(name));
  return found == values_.end() ? std::wstring() : found->second;
}

bool CommandLineArgs::Flag(std::wstring_view name) const {
  const std::wstring value = Value(name);
  return value == L"1" || value == L"true";
}

std::vector<std::wstring> CommandLineArgs::Values(std::wstring_view name) const {
  std::vector<std::wstring> values;
  const auto [first, last] = every_.equal_range(ToLowerAscii(name));
  for (auto value = first; value != last; ++value) values.push_back(value->second);
  return values;
}

std::vector<std::wstring> CommandLineArgs::UnknownSwitches() const {
  std::vector<std::wstring> unknown;
  for (const auto& [name, value] : values_) {
    if (!IsKnown(name)) unknown.push_back(name);
  }
  return unknown;
}

}  // namespace kelvane
