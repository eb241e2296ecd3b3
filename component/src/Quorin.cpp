// TQuorin's state: creation and destruction, properties, keying, IV loading,
// Burn and the version.
#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "KeyBytes.h"
#include "cipher/Rc6.h"
#include "quorin/Rc6.h"
#include "quorin/platform/Wipe.h"

namespace Rc6 {
inline namespace QUORIN_PACKAGE_NAMESPACE {
namespace {

template <typename Enum>
framework::TPropInfo EnumProperty(std::string Name, std::string TypeName,
                                  std::vector<std::string> EnumNames, Enum (TQuorin::*Get)() const,
                                  void (TQuorin::*Set)(Enum)) {
  const int count = static_cast<int>(EnumNames.size());
  framework::TPropInfo p;
  p.Name = std::move(Name);
  p.TypeName = std::move(TypeName);
  p.EnumNames = std::move(EnumNames);
  p.GetOrd = [Get](const framework::TComponent& c) {
    return static_cast<int>((static_cast<const TQuorin&>(c).*Get)());
  };
  p.SetOrd = [Set, count, prop = p.Name](framework::TComponent& c, int Ordinal) {
    if (Ordinal < 0 || Ordinal >= count)
      throw std::out_of_range(prop + ": ordinal " + std::to_string(Ordinal) + " out of range");
    (static_cast<TQuorin&>(c).*Set)(static_cast<Enum>(Ordinal));
  };
  return p;
}

}  // namespace

TQuorin::TQuorin(framework::TComponent* AOwner) : framework::TComponent(AOwner) {}

TQuorin::~TQuorin() {
  Burn();
  quorin::platform::WipeObject(FBuffer);
}

const framework::TComponentClass& TQuorin::ComponentClass() {
  static const framework::TComponentClass cls{
      "TQuorin",
      &typeid(TQuorin),
      [](framework::TComponent* AOwner) -> framework::TComponent* { return new TQuorin(AOwner); },
      {EnumProperty<TCipherMode>("CipherMode", "TCipherMode", {"ECB", "CBC", "CFB", "OFB"},
                                 &TQuorin::CipherMode, &TQuorin::SetCipherMode),
       EnumProperty<TKeySize>("KeySize", "TKeySize", {"Small128", "Med192", "Large256"},
                              &TQuorin::KeySize, &TQuorin::SetKeySize),
       EnumProperty<TStringMode>("StringMode", "TStringMode", {"smEncode", "smNormal"},
                                 &TQuorin::StringMode, &TQuorin::SetStringMode)}};
  return cls;
}

void TQuorin::SetCipherMode(TCipherMode Value) {
  // A mode outside the four would let the chaining step pass data through unencrypted.
  if (static_cast<std::uint8_t>(Value) > static_cast<std::uint8_t>(TCipherMode::OFB))
    throw std::out_of_range("CipherMode: " + std::to_string(static_cast<int>(Value)) +
                            " is not one of ECB, CBC, CFB, OFB");
  FCipherMode = Value;
}

std::int32_t TQuorin::InitialiseString(const std::string& Key) {
  if (Key.empty()) return TStatus::EmptyKey;
  const auto keyLen = static_cast<std::int32_t>(std::min<std::size_t>(Key.size(), INT32_MAX));
  return KeyFromStaging(reinterpret_cast<const std::uint8_t*>(Key.data()), Key.size(), keyLen);
}

std::int32_t TQuorin::InitialiseByte(std::span<const std::uint8_t> Key, std::int32_t Count) {
  if (Count <= 0) return TStatus::EmptyKey;
  if (static_cast<std::size_t>(Count) > Key.size())
    throw std::out_of_range("InitialiseByte: Count " + std::to_string(Count) +
                            " exceeds the key array of " + std::to_string(Key.size()) + " bytes");
  return KeyFromStaging(Key.data(), static_cast<std::size_t>(Count), Count);
}

std::int32_t TQuorin::KeyFromStaging(const std::uint8_t* Key, std::size_t Length,
                                     std::int32_t KeyLen) {
  FSave.fill(0);
  FBlock.fill(0);
  // The schedule reads the first KeyBytes(KeySize) bytes; a shorter key is
  // zero-extended through a staging copy. It writes all of FS.
  if (Length >= detail::KeyBytes(FKeySize)) {
    rc6_key_setup({Key, Length}, KeyLen);
  } else {
    std::array<std::uint8_t, 32> staging{};
    std::memcpy(staging.data(), Key, Length);
    rc6_key_setup(staging, KeyLen);
    quorin::platform::WipeObject(staging);
  }
  FInitialised = true;
  return TStatus::Ok;
}

void TQuorin::LoadIVString(const std::string& IV) {
  LoadIV(reinterpret_cast<const std::uint8_t*>(IV.data()), IV.size());
}

void TQuorin::LoadIVByte(std::span<const std::uint8_t> IV, std::int32_t Count) {
  if (Count > 0 && static_cast<std::size_t>(Count) > IV.size())
    throw std::out_of_range("LoadIVByte: Count " + std::to_string(Count) +
                            " exceeds the IV array of " + std::to_string(IV.size()) + " bytes");
  LoadIV(IV.data(), Count > 0 ? static_cast<std::size_t>(Count) : 0);
}

void TQuorin::LoadIV(const std::uint8_t* IV, std::size_t Length) {
  FIV.fill(0);
  for (std::size_t k = 0; k < Length; ++k) FIV[k % BlockSize] ^= IV[k];
  FIVLoaded = true;
}

void TQuorin::Burn() {
  quorin::platform::WipeObject(FInitialised);
  quorin::platform::WipeObject(FIVLoaded);
  quorin::platform::WipeObject(FIV);
  quorin::platform::WipeObject(FSave);
  quorin::platform::WipeObject(FS);
  quorin::platform::WipeObject(FBlock);
  FInitialised = false;
  FIVLoaded = false;
}

const char* KernelName() {
  return cipher::Rc6KernelName();
}

// The version of the package these sources are built into, from its build.
std::string TQuorin::GetVersion() const {
  return QUORIN_PACKAGE_VERSION;
}

std::int32_t TQuorin::KeyStatus() const {
  if (!FInitialised) return TStatus::NoKey;
  if (FCipherMode != TCipherMode::ECB && !FIVLoaded) return TStatus::NoIV;
  return TStatus::Ok;
}

}  // namespace QUORIN_PACKAGE_NAMESPACE
}  // namespace Rc6
