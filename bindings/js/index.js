// Quorin for JavaScript: the TQuorin component (RC6-32/20 in ECB, CBC, CFB
// or OFB, count-byte padding, the radix-64 armour, the CBC-MAC) and sealed
// files, byte for byte as the C++ library, compiled to WebAssembly. Works in
// Node 18+ and in browsers; nothing is fetched but the module beside this file.
import createQuorinModule from "./dist/quorin.mjs";
import { attach } from "./lib/quorin.js";

async function wasmBytes() {
  const url = new URL("./dist/quorin.wasm", import.meta.url);
  if (typeof process === "object" && process.versions?.node && url.protocol === "file:") {
    const { readFile } = await import("node:fs/promises");
    return readFile(url);
  }
  const response = await fetch(url);
  if (!response.ok) throw new Error(`cannot load ${url}: ${response.status}`);
  return new Uint8Array(await response.arrayBuffer());
}

// The module's loader is built for the web, where it would fetch the .wasm
// itself; here it gets the bytes, in Node as in browsers, and libsodium its
// random source (the Web Crypto API, which Node 18 has as a module only).
const webCrypto = globalThis.crypto ?? (await import("node:crypto")).webcrypto;
const word = new Uint32Array(1);
attach(await createQuorinModule({
  wasmBinary: await wasmBytes(),
  getRandomValue: () => webCrypto.getRandomValues(word)[0],
}));

/** Settled: importing waits for the module. (CommonJS's require gives the
 * package before it is loaded, with a `ready` that settles later.) */
export const ready = Promise.resolve();

export {
  QuorinError, SealedFileError, NotSealedError, UnsupportedVersionError, BadHeaderError,
  CostLimitError, AuthenticationError, TruncatedError, SecretKindError, BadArmourError,
  version, encode, decode, Quorin, COSTS,
  seal, open, SealStream, OpenStream, sealedHeader, generateIdentity, recipientOf,
} from "./lib/quorin.js";

