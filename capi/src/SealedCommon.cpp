#include "SealedCommon.h"

#include <stdexcept>

#include "quorin/framework/Exceptions.h"

namespace seal = quorin::seal;

namespace quorin_capi {
namespace {}  // namespace

int KeyBits(int size) {
  switch (size) {
    case 0:  // the ordinals of soname 1
    case 128:
      return 128;
    case 1:
    case 192:
      return 192;
    case 2:
    case 256:
      return 256;
    default:
      throw std::invalid_argument("the key size is 128, 192 or 256 bits");
  }
}

Failure SealFailure() noexcept {
  try {
    throw;
  } catch (const seal::NotSealedError& e) {
    return {QUORIN_NOT_SEALED, e.what()};
  } catch (const seal::BadArmourError& e) {
    return {QUORIN_BAD_ARMOUR, e.what()};
  } catch (const seal::UnsupportedVersionError& e) {
    return {QUORIN_UNSUPPORTED_VERSION, e.what()};
  } catch (const seal::CostLimitError& e) {
    return {QUORIN_COST_LIMIT, e.what()};
  } catch (const seal::BadHeaderError& e) {
    return {QUORIN_BAD_HEADER, e.what()};
  } catch (const seal::AuthenticationError& e) {
    return {QUORIN_AUTHENTICATION, e.what()};
  } catch (const seal::TruncatedError& e) {
    return {QUORIN_TRUNCATED, e.what()};
  } catch (const seal::SecretKindError& e) {
    return {QUORIN_SECRET_KIND, e.what()};
  } catch (const seal::FileError& e) {
    return {QUORIN_IO_ERROR, e.what()};
  } catch (const framework::EStreamError& e) {
    return {QUORIN_IO_ERROR, e.what()};
  } catch (const std::invalid_argument& e) {
    return {QUORIN_INVALID_ARGUMENT, e.what()};
  } catch (...) {
    return CurrentFailure();
  }
}

seal::SealOptions SealOptionsOf(const quorin_secrets& s, const quorin_seal_options* given) {
  quorin_seal_options o;
  quorin_seal_options_default(&o);
  if (given != nullptr) o = *given;
  seal::SealOptions options;
  switch (o.mode) {
    case QUORIN_CBC:
      options.mode = seal::Mode::CBC;
      break;
    case QUORIN_CFB:
      options.mode = seal::Mode::CFB;
      break;
    case QUORIN_OFB:
      options.mode = seal::Mode::OFB;
      break;
    default:
      throw std::invalid_argument(
          "a sealed file uses QUORIN_CBC, QUORIN_CFB or QUORIN_OFB (ECB shows repeated blocks)");
  }
  options.keyBits = KeyBits(o.key_size);
  options.costs = {o.passes, o.memory_bytes};
  options.formatVersion = o.format_version;
  options.replaceOutput = o.replace_output != 0;
  options.armour = o.armour != 0;
  options.recipients = s.recipients;
  seal::CheckSealing(s.Pointers(), options);
  return options;
}

seal::OpenOptions OpenOptionsOf(const quorin_open_options* given) {
  quorin_open_options o;
  quorin_open_options_default(&o);
  if (given != nullptr) o = *given;
  return {o.max_passes, o.max_memory_bytes, o.replace_output != 0};
}

void Describe(const seal::HeaderInfo& h, quorin_sealed_info* info) {
  quorin_sealed_info out{};
  out.version = h.version;
  out.mode = static_cast<quorin_mode>(static_cast<int>(h.mode));
  out.key_size = static_cast<quorin_key_size>(h.keyBits);
  for (seal::SecretKind k : h.kinds) out.kinds |= 1u << (static_cast<unsigned>(k) - 1);
  out.recipients = static_cast<unsigned>(h.kinds.size());
  out.passes = h.costs.passes;
  out.memory_bytes = h.costs.memoryBytes;
  out.chunk_bytes = h.chunkBytes;
  *info = out;
}

}  // namespace quorin_capi
