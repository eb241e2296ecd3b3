// Seals and opens through the installed sealing library: bytes in memory in
// one line each, then a stream through std::istream and std::ostream, then
// files by std::filesystem::path.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "quorin/seal/Standard.h"

int main() {
  using namespace quorin::seal;
  const Secret key = Secret::KeyFileBytes(std::vector<std::uint8_t>(32, 0x5a));
  const Secret me = Secret::NewIdentity();
  const std::string message = "sealed by an installed quorin-seal";
  const std::vector<std::uint8_t> plain(message.begin(), message.end());

  const std::vector<std::uint8_t> sealed = Seal(plain, {key, me});
  const std::vector<std::uint8_t> opened = Open(sealed, me);

  std::istringstream in(message);
  std::ostringstream out;
  IstreamSource source(in);
  OstreamSink sink(out);
  SealStream(source, sink, {key});
  const std::string streamed = out.str();
  const std::vector<std::uint8_t> back =
      Open({reinterpret_cast<const std::uint8_t*>(streamed.data()), streamed.size()}, key);

  const std::filesystem::path folder = std::filesystem::temp_directory_path();
  const std::filesystem::path from = folder / "quorin-consumer.txt",
                              to = folder / "quorin-consumer.qsl",
                              again = folder / "quorin-consumer-opened.txt";
  std::filesystem::remove(to);
  std::filesystem::remove(again);
  std::ofstream(from, std::ios::binary) << message;
  SealFile(from, to, key);
  OpenFile(to, again, {key});
  std::ifstream reread(again, std::ios::binary);
  const std::string fromFile((std::istreambuf_iterator<char>(reread)),
                             std::istreambuf_iterator<char>());
  for (const auto& f : {from, to, again}) std::filesystem::remove(f);

  std::printf("seal: %zu bytes sealed into %zu, opened: %s\n", plain.size(), sealed.size(),
              std::string(opened.begin(), opened.end()).c_str());
  return opened == plain && back == plain && fromFile == message ? 0 : 1;
}
