// Quorin for JavaScript: the TQuorin component (RC6-32/20 in ECB, CBC, CFB
// or OFB, count-byte padding, the radix-64 armour, the CBC-MAC) and sealed
// files, byte for byte as the C++ library, compiled to WebAssembly. Works in
// Node 18+ and in browsers; nothing is fetched but the module beside this file.
//
// The component's calls are synchronous and bounded; sealing and opening
// return promises and streams, and run on the package's own threads.
import { compile, instantiate } from "./lib/load.js";
import { attach } from "./lib/quorin.js";
import { startThreads } from "./lib/async.js";

const module = await compile();
attach(await instantiate(module));
await startThreads(module);

/** Settled: importing waits for the module. (CommonJS's require gives the
 * package before it is loaded, with a `ready` that settles later.) */
export const ready = Promise.resolve();

/** The module this engine runs: "simd128", or "portable" without WebAssembly SIMD. */
export const kernel = module.kernel;

export {
  QuorinError, SealedFileError, NotSealedError, UnsupportedVersionError, BadHeaderError,
  CostLimitError, AuthenticationError, TruncatedError, SecretKindError, BadArmourError,
  version, encode, decode, Quorin, COSTS, sealedHeader, Identity, Recipient, generateIdentity, recipientOf,
} from "./lib/quorin.js";
export { seal, open, SealStream, OpenStream } from "./lib/async.js";
