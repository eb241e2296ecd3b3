// Quorin for JavaScript: the TQuorin component (RC6-32/20 in ECB, CBC, CFB
// or OFB, count-byte padding, the radix-64 armour, the CBC-MAC) and sealed
// files, byte for byte as the C++ library, compiled to WebAssembly. Works in
// Node 18+ and in browsers; nothing is fetched but the module beside this file.
import createQuorinModule from "./dist/quorin.mjs";

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
const M = await createQuorinModule({
  wasmBinary: await wasmBytes(),
  getRandomValue: () => webCrypto.getRandomValues(word)[0],
});

const MODES = ["ecb", "cbc", "cfb", "ofb"];
const KEY_SIZES = [128, 192, 256];
const STRING_MODES = ["encode", "normal"];
const encoder = new TextEncoder();
const decoder = new TextDecoder();

// ---------------------------------------------------------------- errors

/** A refused or failed operation; `status` is the C library's code. */
export class QuorinError extends Error {
  constructor(status, message) {
    super(message);
    this.name = new.target.name;
    this.status = status;
    this.code = M.UTF8ToString(M._quorin_status_name(status));
  }
}
export class SealedFileError extends QuorinError {}
export class NotSealedError extends SealedFileError {}
export class UnsupportedVersionError extends SealedFileError {}
export class BadHeaderError extends SealedFileError {}
export class CostLimitError extends BadHeaderError {}
export class AuthenticationError extends SealedFileError {}
export class TruncatedError extends SealedFileError {}
export class SecretKindError extends SealedFileError {}

const ERRORS = new Map([
  [-30, NotSealedError], [-31, UnsupportedVersionError], [-32, BadHeaderError],
  [-33, CostLimitError], [-34, AuthenticationError], [-35, TruncatedError],
  [-36, SecretKindError],
]);

function check(status) {
  if (status === 0) return;
  const message = M.UTF8ToString(M._quorin_last_error());
  if (status === -21) throw new RangeError(message);
  throw new (ERRORS.get(status) ?? QuorinError)(status, message);
}

// ---------------------------------------------------------------- memory

function bytesOf(value, what) {
  if (value instanceof Uint8Array) return value;
  if (value instanceof ArrayBuffer) return new Uint8Array(value);
  if (ArrayBuffer.isView(value)) return new Uint8Array(value.buffer, value.byteOffset, value.byteLength);
  throw new TypeError(`${what} must be a Uint8Array, not ${value === null ? "null" : typeof value}`);
}

// A block of the module's memory, wiped and freed by free().
class Heap {
  constructor(size) {
    this.size = size;
    this.ptr = M._malloc(Math.max(size, 1));
    if (!this.ptr) throw new QuorinError(-23, "out of memory");
  }
  static of(bytes) {
    const h = new Heap(bytes.length);
    M.HEAPU8.set(bytes, h.ptr);
    return h;
  }
  bytes(length = this.size) {
    return M.HEAPU8.slice(this.ptr, this.ptr + length);
  }
  free() {
    if (this.ptr) {
      M.HEAPU8.fill(0, this.ptr, this.ptr + this.size);
      M._free(this.ptr);
      this.ptr = 0;
    }
  }
}

// Runs f with heap blocks that are freed (and wiped) afterwards.
function withHeap(blocks, f) {
  try {
    return f(...blocks);
  } finally {
    for (const b of blocks) b.free();
  }
}

// The C library's size query: learn the size, then fill a buffer of it.
function sized(call) {
  return withHeap([new Heap(8)], (size) => {
    M.HEAPU32[size.ptr >> 2] = 0;
    check(call(0, size.ptr));
    const needed = M.HEAPU32[size.ptr >> 2];
    return withHeap([new Heap(needed)], (out) => {
      M.HEAPU32[size.ptr >> 2] = needed;
      check(call(out.ptr, size.ptr));
      return out.bytes(M.HEAPU32[size.ptr >> 2]);
    });
  });
}

function choice(value, choices, what) {
  const i = choices.indexOf(value);
  if (i < 0) {
    if (typeof value !== typeof choices[0]) throw new TypeError(`${what} must be a ${typeof choices[0]}`);
    throw new RangeError(`${what} must be one of ${choices.join(", ")}, not ${value}`);
  }
  return i;
}

// ---------------------------------------------------------------- the component

/** The package version of the C library, "1.11". */
export function version() {
  return M.UTF8ToString(M._quorin_version());
}

/** The radix-64 armour of data, as the component writes it: one line. */
export function encode(data) {
  const raw = bytesOf(data, "data");
  return withHeap([Heap.of(raw)], (src) =>
    decoder.decode(sized((dst, len) => M._quorin_encode(src.ptr, raw.length, dst, len))));
}

/** The bytes of radix-64 armour; characters outside the alphabet count as 0. */
export function decode(text) {
  const raw = typeof text === "string" ? encoder.encode(text) : bytesOf(text, "text");
  return withHeap([Heap.of(raw)], (src) =>
    sized((dst, len) => M._quorin_decode(src.ptr, raw.length, dst, len)));
}

const registry = new FinalizationRegistry((handle) => M._quorin_free(handle));

/** One instance of the component. The defaults are the component's: ECB,
 * 128-bit keys, armoured strings; for new data choose CBC, CFB or OFB, a
 * 256-bit key and a fresh IV per message. The chain runs on between calls. */
export class Quorin {
  #h;
  constructor({ mode = "ecb", keySize = 128, stringMode = "encode" } = {}) {
    this.#h = M._quorin_new();
    if (!this.#h) throw new QuorinError(-23, "out of memory");
    registry.register(this, this.#h, this);
    this.mode = mode;
    this.keySize = keySize;
    this.stringMode = stringMode;
  }
  #handle() {
    if (!this.#h) throw new TypeError("this Quorin instance is closed");
    return this.#h;
  }
  get mode() { return MODES[M._quorin_get_mode(this.#handle())]; }
  set mode(v) { check(M._quorin_set_mode(this.#handle(), choice(v, MODES, "mode"))); }
  get keySize() { return KEY_SIZES[M._quorin_get_key_size(this.#handle())]; }
  set keySize(v) { check(M._quorin_set_key_size(this.#handle(), choice(v, KEY_SIZES, "keySize"))); }
  get stringMode() { return STRING_MODES[M._quorin_get_string_mode(this.#handle())]; }
  set stringMode(v) {
    check(M._quorin_set_string_mode(this.#handle(), choice(v, STRING_MODES, "stringMode")));
  }
  /** Keys the instance; the key is zero-extended or cut to keySize. */
  initialise(key) {
    const raw = bytesOf(key, "key");
    withHeap([Heap.of(raw)], (k) => check(M._quorin_initialise(this.#handle(), k.ptr, raw.length)));
  }
  /** Loads the IV (16 bytes; shorter is zero-extended, longer folded) and starts a new chain. */
  loadIV(iv) {
    const raw = bytesOf(iv, "iv");
    withHeap([Heap.of(raw)], (v) => check(M._quorin_load_iv(this.#handle(), v.ptr, raw.length)));
  }
  /** Wipes the key, the chain and the working block. */
  burn() { if (this.#h) M._quorin_burn(this.#h); }
  /** Wipes and frees the instance. */
  close() {
    if (this.#h) {
      registry.unregister(this);
      M._quorin_free(this.#h);
      this.#h = 0;
    }
  }
  #block(call, block) {
    const raw = bytesOf(block, "block");
    if (raw.length !== 16) throw new RangeError(`a block is 16 bytes, not ${raw.length}`);
    return withHeap([Heap.of(raw)], (b) => {
      check(call(this.#handle(), b.ptr, b.ptr));
      return b.bytes();
    });
  }
  encryptBlock(block) { return this.#block(M._quorin_encrypt_block, block); }
  decryptBlock(block) { return this.#block(M._quorin_decrypt_block, block); }
  /** Padded encryption: an armoured string (stringMode "encode") or raw bytes ("normal"). */
  encryptString(data) {
    const raw = typeof data === "string" ? encoder.encode(data) : bytesOf(data, "data");
    const out = withHeap([Heap.of(raw)], (src) =>
      sized((dst, len) => M._quorin_encrypt_string(this.#handle(), src.ptr, raw.length, dst, len)));
    return this.stringMode === "encode" ? decoder.decode(out) : out;
  }
  /** The inverse of encryptString: armoured text (a string) or raw bytes; gives bytes. */
  decryptString(data) {
    const raw = typeof data === "string" ? encoder.encode(data) : bytesOf(data, "data");
    return withHeap([Heap.of(raw)], (src) =>
      sized((dst, len) => M._quorin_decrypt_string(this.#handle(), src.ptr, raw.length, dst, len)));
  }
  /** The CBC-MAC (CBC only): the chaining register, 16 bytes. */
  mac() {
    return withHeap([new Heap(16)], (out) => {
      check(M._quorin_mac(this.#handle(), out.ptr));
      return out.bytes();
    });
  }
}

// ---------------------------------------------------------------- sealed files

const SEAL_MODES = { cbc: 1, cfb: 2, ofb: 3 };
/** The passphrase costs by name: [passes, bytes of memory]. */
export const COSTS = Object.freeze({
  interactive: [2, 64 * 2 ** 20], moderate: [3, 256 * 2 ** 20], sensitive: [4, 2 ** 30],
});
const KINDS = ["passphrase", "keyFile", "identity"];

// The C library's set of secrets, for one call.
function secretsOf({ passphrase, keyFile, identities = [], recipients = [] }, sealing) {
  if (passphrase !== undefined && keyFile !== undefined)
    throw new RangeError("give a passphrase or a key file, not both");
  const adds = [];
  if (passphrase !== undefined) {
    const raw = typeof passphrase === "string" ? encoder.encode(passphrase) : bytesOf(passphrase, "passphrase");
    if (raw.length === 0) throw new RangeError("the passphrase is empty");
    adds.push([M._quorin_secrets_add_passphrase, raw]);
  }
  if (keyFile !== undefined) adds.push([M._quorin_secrets_add_key_file, bytesOf(keyFile, "keyFile")]);
  for (const i of [].concat(identities)) adds.push([M._quorin_secrets_add_identity, encoder.encode(String(i))]);
  for (const r of [].concat(recipients)) adds.push([M._quorin_secrets_add_recipient, encoder.encode(String(r))]);
  if (adds.length === 0)
    throw new RangeError(`give a passphrase, a key file or ${sealing ? "recipients" : "identities"}`);
  const set = M._quorin_secrets_new();
  try {
    for (const [add, raw] of adds) withHeap([Heap.of(raw)], (b) => check(add(set, b.ptr, raw.length)));
  } catch (e) {
    M._quorin_secrets_free(set);
    throw e;
  }
  return set;
}

// quorin_seal_options: mode, key size, passes (u32), memory (u64), version, replace.
function sealOptions({ mode = "cbc", keySize = 256, cost = "moderate" }) {
  const o = new Heap(40);
  M._quorin_seal_options_default(o.ptr);
  const view = new DataView(M.HEAPU8.buffer, o.ptr, 40);
  if (!(mode in SEAL_MODES)) throw new RangeError(`mode must be cbc, cfb or ofb, not ${mode}`);
  view.setInt32(0, SEAL_MODES[mode], true);
  view.setInt32(4, choice(keySize, KEY_SIZES, "keySize"), true);
  const [passes, memory] = typeof cost === "string" ? COSTS[cost] ?? [] : cost;
  if (passes === undefined) throw new RangeError(`cost must be ${Object.keys(COSTS).join(", ")} or [passes, bytes]`);
  view.setUint32(8, passes, true);
  view.setBigUint64(16, BigInt(memory), true);
  return o;
}

function openOptions({ costLimit }) {
  const o = new Heap(24);
  M._quorin_open_options_default(o.ptr);
  if (costLimit !== undefined) {
    const view = new DataView(M.HEAPU8.buffer, o.ptr, 24);
    view.setUint32(0, costLimit[0], true);
    view.setBigUint64(8, BigInt(costLimit[1]), true);
  }
  return o;
}

/** Seals data (a Uint8Array, or a string taken as UTF-8) for a passphrase or
 * a key file and any recipients; the sealed bytes, as `quorin seal` writes them. */
export function seal(data, options = {}) {
  const raw = typeof data === "string" ? encoder.encode(data) : bytesOf(data, "data");
  const set = secretsOf(options, true);
  try {
    return withHeap([Heap.of(raw), sealOptions(options)], (src, o) =>
      sized((dst, len) => M._quorin_seal_buffer(set, o.ptr, src.ptr, raw.length, dst, len)));
  } finally {
    M._quorin_secrets_free(set);
  }
}

/** The plaintext of sealed bytes, once every tag matched; AuthenticationError
 * for a wrong secret or an altered file, TruncatedError, NotSealedError, ... */
export function open(data, options = {}) {
  const raw = bytesOf(data, "data");
  const set = secretsOf(options, false);
  try {
    return withHeap([Heap.of(raw), openOptions(options)], (src, o) =>
      sized((dst, len) => M._quorin_open_buffer(set, o.ptr, src.ptr, raw.length, dst, len)));
  } finally {
    M._quorin_secrets_free(set);
  }
}

/** What a sealed file's header says, without a secret. */
export function sealedHeader(data) {
  const raw = bytesOf(data, "data");
  return withHeap([Heap.of(raw), new Heap(48)], (src, info) => {
    check(M._quorin_sealed_info_buffer(src.ptr, raw.length, 0, info.ptr));
    const v = new DataView(M.HEAPU8.buffer, info.ptr, 48);
    const kinds = v.getUint32(12, true);
    return {
      version: v.getInt32(0, true),
      mode: MODES[v.getInt32(4, true)],
      keySize: KEY_SIZES[v.getInt32(8, true)],
      kinds: KINDS.filter((_, i) => kinds & (1 << i)),
      recipients: v.getUint32(16, true),
      passes: v.getUint32(20, true),
      memoryBytes: Number(v.getBigUint64(24, true)),
      chunkBytes: v.getUint32(32, true),
    };
  });
}

/** A new identity's printed form ("QUORIN-IDENTITY-1..."; secret) and its
 * recipient ("quorin1..."). */
export function generateIdentity() {
  const identity = decoder.decode(sized((dst, len) => M._quorin_identity_new(dst, len)));
  return { identity, recipient: recipientOf(identity) };
}

/** The recipient of an identity. */
export function recipientOf(identity) {
  const raw = encoder.encode(String(identity));
  return withHeap([Heap.of(raw)], (src) =>
    decoder.decode(sized((dst, len) => M._quorin_identity_recipient(src.ptr, raw.length, dst, len))));
}
