// The package's code over an instantiated module: the component, the
// armour, sealed files whole and as Web Streams, and the errors. The
// loader (index.js in the package, the worker bundle on the page) attaches
// the module once, before anything here is called.

let M;

/** Attaches the instantiated WebAssembly module; called once by the loader. */
export function attach(module) {
  M = module;
}

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
export class BadArmourError extends SealedFileError {}

const ERRORS = new Map([
  [-30, NotSealedError], [-31, UnsupportedVersionError], [-32, BadHeaderError],
  [-33, CostLimitError], [-34, AuthenticationError], [-35, TruncatedError],
  [-36, SecretKindError], [-37, BadArmourError],
]);

function errorOf(status) {
  const message = M.UTF8ToString(M._quorin_last_error());
  if (status === -21) return new RangeError(message);
  return new (ERRORS.get(status) ?? QuorinError)(status, message);
}

function check(status) {
  if (status !== 0) throw errorOf(status);
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

// The options object of a call, or a TypeError saying so (rather than the
// engine's "cannot destructure").
function optionsOf(options) {
  if (options === undefined) return {};
  if (typeof options !== "object" || options === null || Array.isArray(options))
    throw new TypeError(`options must be an object, not ${options === null ? "null" : Array.isArray(options) ? "an array" : typeof options}`);
  return options;
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
  constructor(options = {}) {
    const { mode = "ecb", keySize = 128, stringMode = "encode" } = optionsOf(options);
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
  get keySize() { return M._quorin_get_key_size(this.#handle()); }  // in bits
  set keySize(v) { check(M._quorin_set_key_size(this.#handle(), KEY_SIZES[choice(v, KEY_SIZES, "keySize")])); }
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
  /** `using q = new Quorin(...)` closes it at the end of the block. */
  [Symbol.dispose]() { this.close(); }
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
// Several lines are the text of an identity or recipients file, which the
// library parses ('#' comments, blank lines) as the tool reads the file.
const listed = (text) => String(text).trim().includes("\n");

function secretsOf(options, sealing) {
  const { passphrase, keyFile, identities = [], recipients = [] } = optionsOf(options);
  const adds = [];
  if (passphrase !== undefined) {
    const raw = typeof passphrase === "string" ? encoder.encode(passphrase) : bytesOf(passphrase, "passphrase");
    if (raw.length === 0) throw new RangeError("the passphrase is empty");
    adds.push([M._quorin_secrets_add_passphrase, raw]);
  }
  if (keyFile !== undefined) adds.push([M._quorin_secrets_add_key_file, bytesOf(keyFile, "keyFile")]);
  for (const i of [].concat(identities))
    adds.push([listed(i) ? M._quorin_secrets_add_identities : M._quorin_secrets_add_identity, encoder.encode(String(i))]);
  for (const r of [].concat(recipients))
    adds.push([listed(r) ? M._quorin_secrets_add_recipients : M._quorin_secrets_add_recipient, encoder.encode(String(r))]);
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

// quorin_seal_options: mode, key size, passes (u32), memory (u64), version,
// replace, armour.
function sealOptions({ mode = "cbc", keySize = 256, cost = "moderate", armour = false }) {
  const o = new Heap(40);
  M._quorin_seal_options_default(o.ptr);
  const view = new DataView(M.HEAPU8.buffer, o.ptr, 40);
  if (!(mode in SEAL_MODES)) throw new RangeError(`mode must be cbc, cfb or ofb, not ${mode}`);
  view.setInt32(0, SEAL_MODES[mode], true);
  view.setInt32(4, KEY_SIZES[choice(keySize, KEY_SIZES, "keySize")], true);
  view.setInt32(32, armour ? 1 : 0, true);
  const [passes, memory] = costsOf(cost);
  view.setUint32(8, passes, true);
  view.setBigUint64(16, BigInt(memory), true);
  return o;
}

// A number that is an integer within [least, most], or a RangeError (a
// TypeError for what is no number) naming it: nothing wraps or rounds.
function integer(value, least, most, what) {
  if (typeof value !== "number") throw new TypeError(`${what} must be a number, not ${value === null ? "null" : typeof value}`);
  if (!Number.isInteger(value) || value < least || value > most)
    throw new RangeError(`${what} must be a whole number from ${least} to ${most}, not ${value}`);
  return value;
}

// Argon2id's passes and bytes of memory: a name of COSTS, or [passes, bytes]
// as whole numbers the C options hold; the library refuses costs out of
// range (1 to 4 passes, 8 KiB to 1 GiB) with its own RangeError.
function costsOf(cost) {
  if (typeof cost === "string") {
    if (!(cost in COSTS)) throw new RangeError(`cost must be ${Object.keys(COSTS).join(", ")} or [passes, bytes], not ${cost}`);
    return COSTS[cost];
  }
  if (!Array.isArray(cost) || cost.length !== 2)
    throw new TypeError(`cost must be ${Object.keys(COSTS).join(", ")} or [passes, bytes]`);
  return [integer(cost[0], 0, 2 ** 32 - 1, "cost's passes"),
    integer(cost[1], 0, Number.MAX_SAFE_INTEGER, "cost's memory")];
}

function openOptions({ costLimit }) {
  const o = new Heap(24);
  M._quorin_open_options_default(o.ptr);
  if (costLimit !== undefined) {
    if (!Array.isArray(costLimit) || costLimit.length !== 2) throw new TypeError("costLimit must be [passes, bytes]");
    const view = new DataView(M.HEAPU8.buffer, o.ptr, 24);
    view.setUint32(0, integer(costLimit[0], 0, 2 ** 32 - 1, "costLimit's passes"), true);
    view.setBigUint64(8, BigInt(integer(costLimit[1], 0, Number.MAX_SAFE_INTEGER, "costLimit's memory")), true);
  }
  return o;
}

// Sealing and opening go through the C library's pushed form in pieces of
// PIECE bytes, gathered in one block of the module's memory and written out
// of another, both reused (and wiped when done): memory stays constant
// however long the input. A piece of a few chunks keeps the cipher's lanes
// busy and both blocks in cache (256 KiB measured faster than 64 KiB or 1 MiB).
const PIECE = 256 * 1024;
// A stream dropped without end or cancel gives its native state back once
// collected. The cleanup is made outside the object, so that it holds
// nothing of it (a closure made inside the constructor would share its
// context, `this` included, and keep the object alive for ever).
const pushedRegistry = new FinalizationRegistry((free) => free());
function releaser(handle, blocks, free) {
  return () => {
    free(handle);
    for (const b of blocks) b.free();
  };
}

class Pushed {
  #h = 0;
  #in;
  #out;
  #written;
  #filled = 0;
  #calls;
  constructor(sealing, options) {
    const set = secretsOf(options, sealing);
    try {
      this.#calls = sealing
        ? { room: M._quorin_sealer_room, update: M._quorin_sealer_update,
            finish: M._quorin_sealer_finish, free: M._quorin_sealer_free }
        : { room: M._quorin_opener_room, update: M._quorin_opener_update,
            finish: M._quorin_opener_finish, free: M._quorin_opener_free };
      withHeap([sealing ? sealOptions(options) : openOptions(options), new Heap(4)], (o, place) => {
        check(sealing ? M._quorin_sealer_new(set, o.ptr, place.ptr) : M._quorin_opener_new(set, o.ptr, place.ptr));
        this.#h = M.HEAPU32[place.ptr >> 2];
      });
    } finally {
      M._quorin_secrets_free(set);
    }
    this.#in = new Heap(PIECE);
    this.#out = new Heap(this.#calls.room(this.#h, PIECE));
    this.#written = new Heap(4);
    pushedRegistry.register(this, releaser(this.#h, [this.#in, this.#out, this.#written], this.#calls.free), this);
  }

  /** Pushes bytes; `emit` gets each piece of output (a view, valid until the next call). */
  push(bytes, emit) {
    this.#live();
    for (let at = 0; at < bytes.length;) {
      const n = Math.min(PIECE - this.#filled, bytes.length - at);
      M.HEAPU8.set(bytes.subarray(at, at + n), this.#in.ptr + this.#filled);
      this.#filled += n;
      at += n;
      if (this.#filled === PIECE) this.#step(false, emit);
    }
  }

  finish(emit) {
    this.#live();
    if (this.#filled > 0) this.#step(false, emit);
    this.#step(true, emit);
    this.close();
  }

  /** Wipes and frees the native state; a failure or the end does so too. */
  close() {
    if (!this.#h) return;
    pushedRegistry.unregister(this);
    this.#calls.free(this.#h);
    this.#h = 0;
    for (const b of [this.#in, this.#out, this.#written]) b.free();
  }

  #live() {
    if (!this.#h) throw new TypeError("this stream has ended");
  }

  #step(finish, emit) {
    const length = finish ? 0 : this.#filled;
    this.#filled = 0;
    const room = this.#calls.room(this.#h, length);
    if (room > this.#out.size) {  // an opener holding a larger chunk than PIECE
      this.#out.free();
      this.#out = new Heap(room);
    }
    const status = finish
      ? this.#calls.finish(this.#h, this.#out.ptr, room, this.#written.ptr)
      : this.#calls.update(this.#h, this.#in.ptr, length, this.#out.ptr, room, this.#written.ptr);
    if (status !== 0) {
      const error = errorOf(status);
      this.close();
      throw error;
    }
    const n = M.HEAPU32[this.#written.ptr >> 2];
    if (n > 0) emit(M.HEAPU8.subarray(this.#out.ptr, this.#out.ptr + n));
  }
}

function isStream(data) {
  return typeof data?.getReader === "function" && typeof data?.pipeThrough === "function";
}

/** A TransformStream that seals the bytes written to it (Uint8Arrays) for
 * a passphrase, a key file or recipients; constant memory. Bad options
 * throw here. */
export class SealStream extends TransformStream {
  constructor(options = {}) {
    const sealer = new Pushed(true, options);
    super(transformerOf(sealer));
  }
}

/** A TransformStream that opens sealed bytes: only plaintext whose tags
 * matched comes out, and a wrong secret, an altered, truncated or unsealed
 * input errors the stream with the matching QuorinError. */
export class OpenStream extends TransformStream {
  constructor(options = {}) {
    const opener = new Pushed(false, options);
    super(transformerOf(opener));
  }
}

function transformerOf(pushed) {
  const enqueue = (controller) => (view) => controller.enqueue(view.slice());
  const guarded = (f) => (...args) => {
    try {
      return f(...args);
    } catch (e) {
      pushed.close();
      throw e;
    }
  };
  return {
    transform: guarded((chunk, controller) => pushed.push(bytesOf(chunk, "each chunk"), enqueue(controller))),
    flush: guarded((controller) => pushed.finish(enqueue(controller))),
    // The reader cancelled, the writer aborted, or the source failed: the
    // native state goes back at once.
    cancel: () => pushed.close(),
  };
}

// Results are on fixed-length ArrayBuffers, which Blob, File, TextDecoder,
// crypto.subtle and fetch all take (they refuse resizable ones). An array
// of `capacity` bytes is cut to n by moving its buffer where the engine can
// (ArrayBuffer.prototype.transfer), else by one copy, the original wiped.
function cut(array, n) {
  if (n === array.length) return array;
  if (typeof array.buffer.transfer === "function") return new Uint8Array(array.buffer.transfer(n));
  const copy = array.slice(0, n);
  array.fill(0);
  return copy;
}

// Whole arrays through the same pushed form, into one array of the result.
function whole(pushed, raw, capacity) {
  const result = new Uint8Array(capacity);  // capacity bounds the output
  let n = 0;
  const collect = (view) => {
    result.set(view, n);
    n += view.length;
  };
  try {
    pushed.push(raw, collect);
    pushed.finish(collect);
  } catch (e) {
    result.fill(0);  // plaintext of chunks verified before the failure
    throw e;
  } finally {
    pushed.close();
  }
  return cut(result, n);
}

/** Seals data for a passphrase, a key file or recipients: a Uint8Array (or a
 * string, taken as UTF-8) gives the sealed bytes, as `quorin seal` writes
 * them; a ReadableStream gives a ReadableStream of them. */
export function seal(data, options = {}) {
  if (isStream(data)) return data.pipeThrough(new SealStream(options));
  const raw = typeof data === "string" ? encoder.encode(data) : bytesOf(data, "data");
  const pushed = new Pushed(true, options);
  const sealed = whole(pushed, raw, sealedLength(raw.length, options));
  return options.armour ? decoder.decode(sealed) : sealed;
}

// The exact length of the sealed form, from the C library's size query
// (which hashes no passphrase).
function sealedLength(length, options) {
  const set = secretsOf(options, true);
  try {
    return withHeap([sealOptions(options), new Heap(8)], (o, size) => {
      M.HEAPU32[size.ptr >> 2] = 0;
      // A size query reads nothing of its source, which need only be non-null.
      check(M._quorin_seal_buffer(set, o.ptr, o.ptr, length, 0, size.ptr));
      return M.HEAPU32[size.ptr >> 2];
    });
  } finally {
    M._quorin_secrets_free(set);
  }
}

/** Opens sealed bytes (a Uint8Array, or a ReadableStream giving a
 * ReadableStream); only plaintext whose tags matched is released.
 * AuthenticationError for a wrong secret or an altered file,
 * TruncatedError, NotSealedError, CostLimitError, ... */
export function open(data, options = {}) {
  if (isStream(data)) return data.pipeThrough(new OpenStream(options));
  const raw = typeof data === "string" ? encoder.encode(data) : bytesOf(data, "data");
  return whole(new Pushed(false, options), raw, raw.length);
}

/** What a sealed file's header says, without a secret. */
export function sealedHeader(data) {
  const raw = typeof data === "string" ? encoder.encode(data) : bytesOf(data, "data");
  return withHeap([Heap.of(raw), new Heap(48)], (src, info) => {
    check(M._quorin_sealed_info_buffer(src.ptr, raw.length, 0, info.ptr));
    const v = new DataView(M.HEAPU8.buffer, info.ptr, 48);
    const kinds = v.getUint32(12, true);
    return {
      version: v.getInt32(0, true),
      mode: MODES[v.getInt32(4, true)],
      keySize: v.getInt32(8, true),
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
