// Streams through the pushed sealer or opener, the one engine of every C
// form: pieces of the source are pushed in and what comes out is written,
// the short last piece ends the input. Pieces of 4 MiB are large enough for
// the sealer to take two cores.
#pragma once

#include "quorin/framework/Stream.h"
#include "quorin/seal/Incremental.h"

namespace quorin_capi {

void Pump(framework::TStream& source, framework::TStream& sink,
          quorin::seal::IncrementalSealer& sealer);
// What reaches the sink came from chunks whose tags matched; the plaintext
// of a call that fails is wiped, never written.
void Pump(framework::TStream& source, framework::TStream& sink,
          quorin::seal::IncrementalOpener& opener);

}  // namespace quorin_capi
