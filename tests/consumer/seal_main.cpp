// Seals and opens a message in memory through the installed sealing library.
#include <cstdio>
#include <string>
#include <vector>

#include "quorin/framework/MemoryStream.h"
#include "quorin/seal/Seal.h"

int main() {
  const std::vector<std::uint8_t> key(32, 0x5a);
  const auto secret = quorin::seal::Secret::KeyFileBytes(key);
  const std::string message = "sealed by an installed quorin-seal";
  framework::TMemoryStream plain, sealed, opened;
  plain.Write(message.data(), static_cast<std::int32_t>(message.size()));
  plain.SetPosition(0);
  quorin::seal::SealStream(plain, sealed, secret);
  sealed.SetPosition(0);
  quorin::seal::OpenStream(sealed, opened, secret);
  const std::string back(reinterpret_cast<const char*>(opened.Memory()),
                         static_cast<std::size_t>(opened.GetSize()));
  std::printf("seal: %zu bytes sealed into %lld, opened: %s\n", message.size(),
              static_cast<long long>(sealed.GetSize()), back.c_str());
  return back == message ? 0 : 1;
}
