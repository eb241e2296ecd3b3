// Compiled against the 1.10 package (QUORIN_FEATURES_1_10).
#include "Cross110.h"

#include <algorithm>
#include <memory>

#include "quorin/Rc6.h"

static_assert(!QUORIN_HAS_STREAMS && !QUORIN_HAS_CBCMAC, "built against the 1.10 feature set");

namespace cross110 {
namespace {

std::unique_ptr<Rc6::TQuorin> Make(const Settings& s) {
  return Configured<Rc6::TQuorin>(s);
}

Rc6::TBlock ToBlock(const std::string& s) {
  Rc6::TBlock b{};
  std::copy_n(s.begin(), std::min<std::size_t>(16, s.size()), b.begin());
  return b;
}

}  // namespace

std::string Version() {
  return Rc6::TQuorin(nullptr).GetVersion();
}

std::int32_t EncryptString(const Settings& s, const std::string& in, std::string& out) {
  return Make(s)->EncryptString(in, out);
}
std::int32_t DecryptString(const Settings& s, const std::string& in, std::string& out) {
  return Make(s)->DecryptString(in, out);
}
std::int32_t EncryptFile(const Settings& s, const std::string& in, const std::string& out) {
  return Make(s)->EncryptFile(in, out);
}
std::int32_t DecryptFile(const Settings& s, const std::string& in, const std::string& out) {
  return Make(s)->DecryptFile(in, out);
}

std::int32_t EncryptBlock(const Settings& s, const std::string& in16, std::string& out16) {
  Rc6::TBlock out{};
  const std::int32_t status = Make(s)->EncryptBlock(ToBlock(in16), out);
  out16.assign(out.begin(), out.end());
  return status;
}
std::int32_t DecryptBlock(const Settings& s, const std::string& in16, std::string& out16) {
  Rc6::TBlock out{};
  const std::int32_t status = Make(s)->DecryptBlock(ToBlock(in16), out);
  out16.assign(out.begin(), out.end());
  return status;
}

std::int32_t CountAfterEncryptBuffer(std::int32_t count, std::int32_t& status) {
  Rc6::TQuorin q(nullptr);
  q.InitialiseString("k");
  status = q.EncryptBuffer(count);
  return count;
}

std::int32_t Rotl(std::int32_t x, std::int32_t amount) {
  Rc6::TQuorin(nullptr).rotl(x, amount);
  return x;
}
std::int32_t Rotr(std::int32_t x, std::int32_t amount) {
  Rc6::TQuorin(nullptr).rotr(x, amount);
  return x;
}

}  // namespace cross110
