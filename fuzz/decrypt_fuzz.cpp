// Fuzzes decryption with arbitrary ciphertext in every mode and form: strings,
// streams and the work buffer report a status and never fault. The first
// byte chooses the mode, the string form and the operation.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "quorin/Rc6.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t selector = data[0];
  const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
  Rc6::TQuorin q(nullptr);
  q.SetCipherMode(static_cast<Rc6::TCipherMode>(selector & 3));
  q.SetStringMode((selector & 4) != 0 ? Rc6::TStringMode::smEncode : Rc6::TStringMode::smNormal);
  q.InitialiseString("fuzzing key 0123");
  q.LoadIVString("fuzzing iv 45678");
  switch ((selector >> 3) % 3) {
    case 0: {
      std::string out = "unchanged";
      const std::int32_t status = q.DecryptString(input, out);
      if (status != 0 && (status != -8 || out != "unchanged")) std::abort();
      break;
    }
    case 1: {
      framework::TMemoryStream src, dst;
      src.Write(input.data(), static_cast<std::int32_t>(input.size()));
      src.SetPosition(0);
      const std::int32_t status = q.DecryptStream(src, dst);
      if (status != 0 && status != -8 && status != -9) std::abort();
      if (dst.GetSize() > static_cast<std::int64_t>(input.size())) std::abort();
      break;
    }
    default: {
      const auto count = static_cast<std::int32_t>(input.size() % 5000);
      const std::int32_t status = q.DecryptBuffer(count);
      if (status != 0 && status != -7) std::abort();
      break;
    }
  }
  return 0;
}
