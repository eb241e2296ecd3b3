#include "Armour.h"

#include <algorithm>
#include <cstring>

#include "Errors.h"
#include "Pump.h"
#include "quorin/Rc6.h"

namespace quorin {
namespace {

const Rc6::TQuorin& Codec() {
  static const Rc6::TQuorin codec(nullptr);  // the armour needs no key
  return codec;
}

std::string ComponentEncode(std::string_view bytes) {
  return Codec().EncodeString(std::string(bytes));
}
// The component reads any character outside its alphabet as 0: the reader
// lets none through.
bool ComponentDecode(std::string_view text, std::string& bytes) {
  bytes += Codec().DecodeString(std::string(text));
  return true;
}

}  // namespace

const ArmourStyle kMessageArmour{kArmourBegin,
                                 kArmourEnd,
                                 "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz",
                                 false,
                                 true,
                                 "",
                                 ComponentEncode,
                                 ComponentDecode};
const ArmourStyle& kSealedArmour = seal::SealedArmour();

ArmourWriter::ArmourWriter(ByteSink& out, Form form, const ArmourStyle& style)
    : out_(out), encoder_(form, style) {
  encoder_.Update({}, text_);
  out_.Write(reinterpret_cast<const std::uint8_t*>(text_.data()), text_.size());
  text_.clear();
}

void ArmourWriter::Write(const std::uint8_t* data, std::size_t count) {
  encoder_.Update({data, count}, text_);
  out_.Write(reinterpret_cast<const std::uint8_t*>(text_.data()), text_.size());
  text_.clear();
}

void ArmourWriter::Finish() {
  encoder_.Finish(text_);
  out_.Write(reinterpret_cast<const std::uint8_t*>(text_.data()), text_.size());
  text_.clear();
}

ArmourReader::ArmourReader(ByteSource& in, std::string what, std::size_t chunk,
                           const ArmourStyle& style)
    : in_(in), decoder_(std::move(what), style), chunk_(chunk) {}

std::size_t ArmourReader::Read(std::uint8_t* buffer, std::size_t count) {
  try {
    while (decoded_.size() - decodedAt_ < count && !finished_) {
      if (decodedAt_ > 0) decoded_.erase(0, decodedAt_), decodedAt_ = 0;
      text_.resize(chunk_);
      const std::size_t n = in_.Read(reinterpret_cast<std::uint8_t*>(text_.data()), chunk_);
      decoder_.Update({reinterpret_cast<const std::uint8_t*>(text_.data()), n}, decoded_);
      if (n < chunk_) {  // a short read is the end of the input
        finished_ = true;
        decoder_.Finish(decoded_);
      }
    }
  } catch (const seal::SealError& e) {
    throw CommandError(e.what());
  }
  const std::size_t n = std::min(count, decoded_.size() - decodedAt_);
  std::memcpy(buffer, decoded_.data() + decodedAt_, n);
  decodedAt_ += n;
  return n;
}

std::string FramedArmour(const std::string& bytes) {
  std::string text;
  StringSink sink(text);
  ArmourWriter writer(sink, ArmourWriter::Form::Framed);
  writer.Write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  writer.Finish();
  return text;
}

std::string DecodeArmour(const std::string& text, const std::string& what) {
  MemorySource source(text);
  ArmourReader reader(source, what);
  std::string bytes;
  std::uint8_t buffer[4096];
  for (std::size_t n; (n = reader.Read(buffer, sizeof buffer)) > 0;)
    bytes.append(reinterpret_cast<const char*>(buffer), n);
  return bytes;
}

}  // namespace quorin
