// Streams that armour what is written through them, and that read either
// form of a sealed file, binary or armoured, as its bytes.
#pragma once

#include <cstdint>
#include <string>

#include "quorin/framework/Stream.h"
#include "quorin/seal/Armour.h"

namespace quorin::seal::detail {

class ArmouringStream final : public framework::TStream {
 public:
  explicit ArmouringStream(framework::TStream& dest) : dest_(dest) {}
  std::int32_t Read(void*, std::int32_t) override { return 0; }
  std::int32_t Write(const void* data, std::int32_t count) override;
  std::int64_t Seek(std::int64_t, framework::TSeekOrigin) override;
  // Writes the last group and the END line.
  void Finish();

 private:
  void Flush();
  framework::TStream& dest_;
  ArmourEncoder encoder_;
  std::string text_;
};

// The input's first bytes decide: the binary magic passes the input
// through as it is; anything else is read as armoured text.
class DetectingSource final : public framework::TStream {
 public:
  DetectingSource(framework::TStream& source, const std::string& name);
  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void*, std::int32_t) override { return 0; }
  std::int64_t Seek(std::int64_t, framework::TSeekOrigin) override;
  bool Armoured() const { return armoured_; }

 private:
  framework::TStream& source_;
  std::uint8_t lead_[8] = {};
  std::size_t leadSize_ = 0, leadAt_ = 0;
  bool armoured_ = false, ended_ = false;
  ArmourDecoder decoder_;
  std::string text_, decoded_;
  std::size_t decodedAt_ = 0;
};

}  // namespace quorin::seal::detail
