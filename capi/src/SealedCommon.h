// What the sealed-file functions of the C interface share: the set of
// secrets, the translation of options and header descriptions, and the
// status of the format's failures.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "Status.h"
#include "quorin/quorin_sealed.h"
#include "quorin/seal/Seal.h"

struct quorin_secrets {
  std::vector<quorin::seal::Secret> secrets;
  std::vector<quorin::seal::Recipient> recipients;

  std::vector<const quorin::seal::Secret*> Pointers() const {
    std::vector<const quorin::seal::Secret*> p;
    for (const quorin::seal::Secret& s : secrets) p.push_back(&s);
    return p;
  }
};

namespace quorin_capi {

// The status of the exception being handled, the format's own failures
// first; called only inside a catch.
Failure SealFailure() noexcept;

// A key size in bits, or one of the ordinals soname 1 used (0, 1, 2).
int KeyBits(int size);

template <class F>
int SealGuarded(F&& f) noexcept {
  return Guarded(std::forward<F>(f), SealFailure);
}

// The options checked for sealing to these secrets (std::invalid_argument).
quorin::seal::SealOptions SealOptionsOf(const quorin_secrets& s, const quorin_seal_options* given);
quorin::seal::OpenOptions OpenOptionsOf(const quorin_open_options* given);
void Describe(const quorin::seal::HeaderInfo& h, quorin_sealed_info* info);

}  // namespace quorin_capi
