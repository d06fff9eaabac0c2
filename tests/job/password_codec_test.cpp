#include "job/password_codec.h"

#include <gtest/gtest.h>

#include "platform/text_codec.h"

namespace kelvane {
namespace {

// Known answers computed outside this program: MD5 of the key text's first 33
// UTF-16LE bytes keys a textbook RC4 over UTF-16LE password + one zero byte,
// then standard Base64 (Python hashlib and a few lines of RC4).
struct Vector {
  std::wstring password;
  std::wstring stored;
} const kVectors[] = {
    {L"", L""},  // no password
    {L"a", L"R8kh"},
    {L"secret", L"VclEEed4M1F/JNFcyg=="},
    {L"äöü", L"wsnXEXh4QQ=="},
    {L"Pass\U0001F600word", L"dslAEfd4MlEn/KWCvQZHN0ycpnKv"},
    {L"correct horse battery staple",
     L"RclOEfZ4M1F/JMZcvgYIN1acrXLdJNlHAjB5ZmMOf6reN8o42qpLmICrSLjnJjYa5isbnSH1aUkP"},
};

TEST(PasswordCodecTest, MatchesKnownAnswers) {
  for (const Vector& v : kVectors) {
    EXPECT_EQ(EncodePassword(v.password), v.stored);
    EXPECT_EQ(DecodePassword(v.stored), v.password);
  }
}

// Given texts that are not what the program writes (passwords typed into the
// file in plain text among them), decoding refuses them instead of handing
// out a garbage password or none.
TEST(PasswordCodecTest, TextsThatAreNoEncipheredPasswordAreRefused) {
  for (const wchar_t* stored : {
           L"!!not base64!!", L"R8k",  // missing padding
           L"R8kh====",                // too much padding
           L"R8ki",                    // stray bits in the last character
           L" R8kh", L"R8kh\n",        // blanks around it
           L"\u00E4\u00E4\u00E4\u00E4", L"secret", L"hunter2", L"Passwort123",
           L"geheim",                  // typed in plain text
           L"abcd", L"AAAA", L"QUJD",  // Base64, but no enciphered text
       }) {
    EXPECT_EQ(DecodePassword(stored), std::nullopt) << platform::ToNative(stored);
  }
}

TEST(PasswordCodecTest, EveryValueStartsAFreshKeyStream) {
  EXPECT_EQ(EncodePassword(L"same"), EncodePassword(L"same"));
  EXPECT_EQ(DecodePassword(EncodePassword(L"x")), L"x");
}

}  // namespace
}  // namespace kelvane
