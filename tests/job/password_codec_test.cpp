#include "job/password_codec.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

// Known answers computed outside this program: MD5 of the key text's first 33
// UTF-16LE bytes keys a textbook RC4 over UTF-16LE password + one zero byte,
// then standard Base64 (Python hashlib and a few lines of RC4).
struct Vector {
  std::wstring password;
  std::wstring stored;
} const kVectors[] = {
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

TEST(PasswordCodecTest, StoredTextHasTheLengthOfTwoBytesPerUnitPlusOne) {
  // 6 characters: 13 bytes, 20 Base64 characters with padding.
  EXPECT_EQ(EncodePassword(L"secret").size(), 20u);
  // The character outside the BMP takes two UTF-16 units: 9 units, 19 bytes.
  EXPECT_EQ(EncodePassword(L"Pass\U0001F600word").size(), 28u);
}

TEST(PasswordCodecTest, EmptyAndMalformedTextsGiveAnEmptyPassword) {
  EXPECT_EQ(EncodePassword(L""), L"");
  EXPECT_EQ(DecodePassword(L""), L"");
  EXPECT_EQ(DecodePassword(L"!!not base64!!"), L"");
  EXPECT_EQ(DecodePassword(L"R8k"), L"");       // missing padding
  EXPECT_EQ(DecodePassword(L"R8kh===="), L"");  // too much padding
  EXPECT_EQ(DecodePassword(L"\u00E4\u00E4\u00E4\u00E4"), L"");
}

TEST(PasswordCodecTest, EveryValueStartsAFreshKeyStream) {
  EXPECT_EQ(EncodePassword(L"same"), EncodePassword(L"same"));
  EXPECT_EQ(DecodePassword(EncodePassword(L"x")), L"x");
}

}  // namespace
}  // namespace kelvane
