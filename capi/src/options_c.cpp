// The sealing and opening options and the header's description, as
// structs with their defaults and by name: the named forms let a program
// that cannot see the structs' layout (another language's binding) fill
// and read them, and let options be added without a new layout.
#include <cstdlib>
#include <limits>
#include <stdexcept>

#include "SealedCommon.h"

using namespace quorin_capi;
namespace seal = quorin::seal;

namespace {

template <class Struct>
Struct* Allocated() noexcept {
  // calloc, so that quorin_options_free can take any of them as a void*.
  auto* p = static_cast<Struct*>(std::calloc(1, sizeof(Struct)));
  if (p == nullptr) Fail(QUORIN_NO_MEMORY);
  return p;
}

// A value for an option of the given C type, or std::invalid_argument naming it.
template <class Field>
Field Fitting(std::uint64_t value, std::uint64_t most, const char* what) {
  if (value > most) throw std::invalid_argument(std::string(what) + " is out of range");
  return static_cast<Field>(value);
}

int Flag(std::uint64_t value, const char* what) {
  return Fitting<int>(value, 1, what);
}

constexpr std::uint64_t kMaxInt = std::numeric_limits<int>::max();
constexpr std::uint64_t kMaxU32 = std::numeric_limits<std::uint32_t>::max();

[[noreturn]] void NotAnOption(int name, const char* of) {
  throw std::invalid_argument("option " + std::to_string(name) + " is not one of the " + of +
                              " options");
}

}  // namespace

extern "C" {

void quorin_seal_options_default(quorin_seal_options* options) {
  if (options == nullptr) return;
  const seal::SealOptions d;
  *options = {QUORIN_CBC, QUORIN_KEY_256, d.costs.passes, d.costs.memoryBytes, d.formatVersion, 0,
              0};
}

void quorin_open_options_default(quorin_open_options* options) {
  if (options == nullptr) return;
  const seal::OpenOptions d;
  *options = {d.maxPasses, d.maxMemoryBytes, 0};
}

quorin_seal_options* quorin_seal_options_new(void) {
  quorin_seal_options* o = Allocated<quorin_seal_options>();
  quorin_seal_options_default(o);
  return o;
}

quorin_open_options* quorin_open_options_new(void) {
  quorin_open_options* o = Allocated<quorin_open_options>();
  quorin_open_options_default(o);
  return o;
}

quorin_sealed_info* quorin_sealed_info_new(void) {
  return Allocated<quorin_sealed_info>();
}

void quorin_options_free(void* options) {
  std::free(options);
}

int quorin_seal_options_set(quorin_seal_options* o, quorin_option name, uint64_t value) {
  if (o == nullptr) return Invalid("the options are NULL");
  return SealGuarded([&]() -> int {
    switch (name) {
      case QUORIN_OPTION_MODE:
        o->mode = static_cast<quorin_mode>(Fitting<int>(value, QUORIN_OFB, "the mode"));
        break;
      case QUORIN_OPTION_KEY_SIZE:
        o->key_size =
            static_cast<quorin_key_size>(KeyBits(Fitting<int>(value, kMaxInt, "the key size")));
        break;
      case QUORIN_OPTION_PASSES:
        o->passes = Fitting<std::uint32_t>(value, kMaxU32, "the passes");
        break;
      case QUORIN_OPTION_MEMORY_BYTES:
        o->memory_bytes = value;
        break;
      case QUORIN_OPTION_FORMAT_VERSION:
        o->format_version = Fitting<int>(value, kMaxInt, "the format version");
        break;
      case QUORIN_OPTION_ARMOUR:
        o->armour = Flag(value, "armour (0 or 1)");
        break;
      case QUORIN_OPTION_REPLACE_OUTPUT:
        o->replace_output = Flag(value, "replace_output (0 or 1)");
        break;
      default:
        NotAnOption(name, "sealing");
    }
    return QUORIN_OK;
  });
}

int quorin_seal_options_get(const quorin_seal_options* o, quorin_option name, uint64_t* value) {
  if (o == nullptr || value == nullptr) return Invalid("the options or the value's place is NULL");
  return SealGuarded([&]() -> int {
    switch (name) {
      case QUORIN_OPTION_MODE:
        *value = static_cast<std::uint64_t>(o->mode);
        break;
      case QUORIN_OPTION_KEY_SIZE:
        *value = static_cast<std::uint64_t>(o->key_size);
        break;
      case QUORIN_OPTION_PASSES:
        *value = o->passes;
        break;
      case QUORIN_OPTION_MEMORY_BYTES:
        *value = o->memory_bytes;
        break;
      case QUORIN_OPTION_FORMAT_VERSION:
        *value = static_cast<std::uint64_t>(o->format_version);
        break;
      case QUORIN_OPTION_ARMOUR:
        *value = static_cast<std::uint64_t>(o->armour);
        break;
      case QUORIN_OPTION_REPLACE_OUTPUT:
        *value = static_cast<std::uint64_t>(o->replace_output);
        break;
      default:
        NotAnOption(name, "sealing");
    }
    return QUORIN_OK;
  });
}

int quorin_open_options_set(quorin_open_options* o, quorin_option name, uint64_t value) {
  if (o == nullptr) return Invalid("the options are NULL");
  return SealGuarded([&]() -> int {
    switch (name) {
      case QUORIN_OPTION_MAX_PASSES:
        o->max_passes = Fitting<std::uint32_t>(value, kMaxU32, "the most passes");
        break;
      case QUORIN_OPTION_MAX_MEMORY_BYTES:
        o->max_memory_bytes = value;
        break;
      case QUORIN_OPTION_REPLACE_OUTPUT:
        o->replace_output = Flag(value, "replace_output (0 or 1)");
        break;
      default:
        NotAnOption(name, "opening");
    }
    return QUORIN_OK;
  });
}

int quorin_open_options_get(const quorin_open_options* o, quorin_option name, uint64_t* value) {
  if (o == nullptr || value == nullptr) return Invalid("the options or the value's place is NULL");
  return SealGuarded([&]() -> int {
    switch (name) {
      case QUORIN_OPTION_MAX_PASSES:
        *value = o->max_passes;
        break;
      case QUORIN_OPTION_MAX_MEMORY_BYTES:
        *value = o->max_memory_bytes;
        break;
      case QUORIN_OPTION_REPLACE_OUTPUT:
        *value = static_cast<std::uint64_t>(o->replace_output);
        break;
      default:
        NotAnOption(name, "opening");
    }
    return QUORIN_OK;
  });
}

int quorin_sealed_info_get(const quorin_sealed_info* info, quorin_info_field name,
                           uint64_t* value) {
  if (info == nullptr || value == nullptr) return Invalid("info or the value's place is NULL");
  switch (name) {
    case QUORIN_INFO_VERSION:
      *value = static_cast<std::uint64_t>(info->version);
      break;
    case QUORIN_INFO_MODE:
      *value = static_cast<std::uint64_t>(info->mode);
      break;
    case QUORIN_INFO_KEY_SIZE:
      *value = static_cast<std::uint64_t>(info->key_size);
      break;
    case QUORIN_INFO_KINDS:
      *value = info->kinds;
      break;
    case QUORIN_INFO_RECIPIENTS:
      *value = info->recipients;
      break;
    case QUORIN_INFO_PASSES:
      *value = info->passes;
      break;
    case QUORIN_INFO_MEMORY_BYTES:
      *value = info->memory_bytes;
      break;
    case QUORIN_INFO_CHUNK_BYTES:
      *value = info->chunk_bytes;
      break;
    default:
      return Invalid("not a field of a sealed file's header");
  }
  return QUORIN_OK;
}

}  // extern "C"
