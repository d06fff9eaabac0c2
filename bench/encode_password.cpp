// Prints a password as a job file stores it, for benchmark jobs with a
// password (the editor is the user's way to set one).
//   encode_password PASSWORD
#include <cstdio>

#include "job/password_codec.h"
#include "platform/text_codec.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: encode_password PASSWORD\n");
    return 3;
  }
  const std::wstring stored = kelvane::EncodePassword(kelvane::platform::FromNative(argv[1]));
  std::printf("%s\n", kelvane::platform::ToUtf8(stored).c_str());
  return 0;
}
