// The package's code over one instantiated module, on the thread that
// holds it: the component, the armour, identities, the errors, and sealing
// and opening in pieces. The package's threads (lib/worker.js) and the
// page's worker run the sealed-file work here; lib/async.js gives it to
// them. The loader attaches the module once, before anything here is called.

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

const BUILTIN_ERRORS = { RangeError, TypeError };
const QUORIN_ERRORS = Object.fromEntries([QuorinError, ...ERRORS.values()].map((c) => [c.name, c]));

/** An error as a plain object, to cross to another thread. */
export function describeError(e) {
  if (e instanceof QuorinError) return { kind: e.name, status: e.status, message: e.message };
  if (e instanceof RangeError || e instanceof TypeError) return { kind: e.name, message: e.message };
  return { kind: "Error", message: String(e?.message ?? e) };
}

/** The error that describeError described, of the same class. */
export function errorFrom({ kind, status, message }) {
  if (kind in QUORIN_ERRORS) return new QUORIN_ERRORS[kind](status, message);
  return new (BUILTIN_ERRORS[kind] ?? Error)(message);
}

// ---------------------------------------------------------------- memory

// Always a plain Uint8Array: a subclass's slice() (Node's Buffer) is a view,
// not a copy, whose buffer (Node's shared pool) holds more than its bytes.
export function bytesOf(value, what) {
  if (value instanceof Uint8Array && value.constructor === Uint8Array) return value;
  if (value instanceof ArrayBuffer) return new Uint8Array(value);
  if (ArrayBuffer.isView(value)) return new Uint8Array(value.buffer, value.byteOffset, value.byteLength);
  throw new TypeError(`${what} must be bytes (a Uint8Array, an ArrayBuffer or a view), not ${kindOf(value)}`);
}

// Bytes, or a string taken as UTF-8.
export function textOrBytes(value, what) {
  return typeof value === "string" ? encoder.encode(value) : bytesOf(value, `${what} (or a string)`);
}

function kindOf(value) {
  if (value === null) return "null";
  if (Array.isArray(value)) return "an array";
  if (typeof value === "object") return `a ${value.constructor?.name ?? "object"}`;
  return `a ${typeof value}`;
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

// The C library's option structs and header descriptions, made, filled and
// read by name through its accessors: nothing here knows their layout.
const OPTION = { mode: 1, keySize: 2, passes: 3, memoryBytes: 4, armour: 6, maxPasses: 8, maxMemoryBytes: 9 };
const INFO = { version: 1, mode: 2, keySize: 3, kinds: 4, recipients: 5, passes: 6, memoryBytes: 7, chunkBytes: 8 };

class Named {
  constructor(ptr) {
    if (!ptr) throw new QuorinError(-23, "out of memory");
    this.ptr = ptr;
  }
  free() {
    if (this.ptr) {
      M._quorin_options_free(this.ptr);
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
export function optionsOf(options, known) {
  if (options === undefined) return {};
  if (typeof options !== "object" || options === null || Array.isArray(options))
    throw new TypeError(`options must be an object, not ${options === null ? "null" : Array.isArray(options) ? "an array" : typeof options}`);
  // A misspelt option would otherwise be left out without a word (armor:
  // true would give binary).
  if (known)
    for (const name of Object.keys(options))
      if (!known.includes(name))
        throw new TypeError(`unknown option ${name}${name === "armor" ? " (spelt armour here)" : ""}; the options are ${known.join(", ")}`);
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

const BeginLine = /-----BEGIN [A-Z ]+-----/;

const registry = new FinalizationRegistry((handle) => M._quorin_free(handle));

/** One instance of the component. The defaults are the component's: ECB,
 * 128-bit keys, armoured strings; for new data choose CBC, CFB or OFB, a
 * 256-bit key and a fresh IV per message. The chain runs on between calls. */
export class Quorin {
  #h;
  constructor(options = {}) {
    const { mode = "ecb", keySize = 128, stringMode = "encode" } = optionsOf(options, ["mode", "keySize", "stringMode"]);
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
    // An empty IV is all zeros to the component, and almost surely an IV
    // never filled in: refused, as a zero IV should be chosen on purpose.
    if (raw.length === 0) throw new RangeError("the IV is empty: give 1 to 16 bytes (16 zero bytes for a zero IV)");
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
    const raw = textOrBytes(data, "data");
    const out = withHeap([Heap.of(raw)], (src) =>
      sized((dst, len) => M._quorin_encrypt_string(this.#handle(), src.ptr, raw.length, dst, len)));
    return this.stringMode === "encode" ? decoder.decode(out) : out;
  }
  /** The inverse of encryptString: armoured text (a string) or raw bytes; gives bytes. */
  decryptString(data) {
    const raw = textOrBytes(data, "data");
    try {
      return withHeap([Heap.of(raw)], (src) =>
        sized((dst, len) => M._quorin_decrypt_string(this.#handle(), src.ptr, raw.length, dst, len)));
    } catch (e) {
      // The tool's framed armour is a sealed file or message, not a string.
      if (e instanceof QuorinError && BeginLine.test(typeof data === "string" ? data : decoder.decode(raw.subarray(0, 4096))))
        e.message += "; this text is framed armour (it has a BEGIN line): a sealed file opens with open(), " +
          "and a message from `quorin encrypt -a` decrypts here once its BEGIN and END lines and line breaks are taken out";
      throw e;
    }
  }
  /** The CBC-MAC (CBC only): the chaining register, 16 bytes. */
  mac() {
    return withHeap([new Heap(16)], (out) => {
      check(M._quorin_mac(this.#handle(), out.ptr));
      return out.bytes();
    });
  }
}

// ---------------------------------------------------------------- identities

/** A recipient ("quorin1..."): whom a file is sealed for; not secret. */
export class Recipient {
  #text;
  constructor(text) {
    this.#text = text;
  }
  /** The recipient in text, checked (RangeError for what is none). */
  static parse(text) {
    if (typeof text !== "string") throw new TypeError(`a recipient must be a string, not ${kindOf(text)}`);
    const set = M._quorin_secrets_new();
    try {
      const raw = encoder.encode(text.trim());
      withHeap([Heap.of(raw)], (b) => check(M._quorin_secrets_add_recipient(set, b.ptr, raw.length)));
    } finally {
      M._quorin_secrets_free(set);
    }
    return new Recipient(text.trim());
  }
  toString() { return this.#text; }
  toJSON() { return this.#text; }
}

/** An identity ("QUORIN-IDENTITY-1..."): the secret that opens what was
 * sealed for its recipient. It prints as "[Identity]" in logs and JSON;
 * toString() gives its text. */
export class Identity {
  #text;
  #recipient;
  constructor(text, recipient) {
    this.#text = text;
    this.#recipient = recipient;
  }
  /** A new identity from the system's random source. */
  static generate() {
    return Identity.parse(decoder.decode(sized((dst, len) => M._quorin_identity_new(dst, len))));
  }
  /** The identity in text, checked (RangeError for what is none). */
  static parse(text) {
    if (typeof text !== "string") throw new TypeError(`an identity must be a string, not ${kindOf(text)}`);
    const raw = encoder.encode(text.trim());
    const recipient = withHeap([Heap.of(raw)], (src) =>
      decoder.decode(sized((dst, len) => M._quorin_identity_recipient(src.ptr, raw.length, dst, len))));
    return new Identity(text.trim(), new Recipient(recipient));
  }
  /** Its recipient, to give to those who seal for it. */
  get recipient() { return this.#recipient; }
  toString() { return this.#text; }
  toJSON() { return "[Identity]"; }
  [Symbol.for("nodejs.util.inspect.custom")]() { return `Identity { recipient: '${this.#recipient}' }`; }
  /** `using id = Identity.generate()` drops the text at the end of the block. */
  [Symbol.dispose]() { this.#text = ""; }
}

/** A new identity and its recipient. */
export function generateIdentity() {
  const identity = Identity.generate();
  return { identity, recipient: identity.recipient };
}

/** The recipient of an identity (its text or an Identity). */
export function recipientOf(identity) {
  return identity instanceof Identity ? identity.recipient : Identity.parse(String(identity)).recipient;
}

// ---------------------------------------------------------------- sealed files

const SEAL_MODES = { cbc: 1, cfb: 2, ofb: 3 };
/** The passphrase costs by name: [passes, bytes of memory]. */
export const COSTS = Object.freeze({
  interactive: [2, 64 * 2 ** 20], moderate: [3, 256 * 2 ** 20], sensitive: [4, 2 ** 30],
});
const KINDS = ["passphrase", "keyFile", "identity"];
/** The options of sealing and of opening; `signal` is taken by the caller's thread. */
export const SEAL_OPTIONS = ["passphrase", "keyFile", "recipients", "mode", "keySize", "cost", "armour", "signal"];
export const OPEN_OPTIONS = ["passphrase", "keyFile", "identities", "costLimit", "signal"];

// The C library's set of secrets, for one call.
// Several lines are the text of an identity or recipients file, which the
// library parses ('#' comments, blank lines) as the tool reads the file.
const listed = (text) => String(text).trim().includes("\n");

function keyTexts(value, what) {
  const all = [].concat(value);
  for (const v of all)
    if (typeof v !== "string" && !(v instanceof Identity) && !(v instanceof Recipient))
      throw new TypeError(`${what} must be strings or ${what === "identities" ? "Identity" : "Recipient"} objects, not ${kindOf(v)}`);
  return all.map(String);
}

function secretsOf(options, sealing) {
  const { passphrase, keyFile, identities = [], recipients = [] } = options;
  const adds = [];
  if (passphrase !== undefined) {
    const raw = textOrBytes(passphrase, "passphrase");
    if (raw.length === 0) throw new RangeError("the passphrase is empty");
    adds.push([M._quorin_secrets_add_passphrase, raw]);
  }
  if (keyFile !== undefined) adds.push([M._quorin_secrets_add_key_file, bytesOf(keyFile, "keyFile")]);
  for (const i of keyTexts(identities, "identities"))
    adds.push([listed(i) ? M._quorin_secrets_add_identities : M._quorin_secrets_add_identity, encoder.encode(i)]);
  for (const r of keyTexts(recipients, "recipients"))
    adds.push([listed(r) ? M._quorin_secrets_add_recipients : M._quorin_secrets_add_recipient, encoder.encode(r)]);
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

// quorin_seal_options, set by name.
function sealOptions({ mode = "cbc", keySize = 256, cost = "moderate", armour = false }) {
  if (!(mode in SEAL_MODES)) throw new RangeError(`mode must be cbc, cfb or ofb, not ${mode}`);
  if (typeof armour !== "boolean") throw new TypeError(`armour must be true or false, not ${kindOf(armour)}`);
  const bits = KEY_SIZES[choice(keySize, KEY_SIZES, "keySize")];
  const [passes, memory] = costsOf(cost);
  const o = new Named(M._quorin_seal_options_new());
  try {
    const set = (name, value) => check(M._quorin_seal_options_set(o.ptr, name, BigInt(value)));
    set(OPTION.mode, SEAL_MODES[mode]);
    set(OPTION.keySize, bits);
    set(OPTION.armour, armour ? 1 : 0);
    set(OPTION.passes, passes);
    set(OPTION.memoryBytes, memory);
    return o;
  } catch (e) {
    o.free();
    throw e;
  }
}

// A number that is an integer within [least, most], or a RangeError (a
// TypeError for what is no number) naming it: nothing wraps or rounds.
function integer(value, least, most, what) {
  if (typeof value !== "number") throw new TypeError(`${what} must be a number, not ${kindOf(value)}`);
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
  let limits;
  if (costLimit !== undefined) {
    if (!Array.isArray(costLimit) || costLimit.length !== 2) throw new TypeError("costLimit must be [passes, bytes]");
    limits = [integer(costLimit[0], 0, 2 ** 32 - 1, "costLimit's passes"),
      integer(costLimit[1], 0, Number.MAX_SAFE_INTEGER, "costLimit's memory")];
  }
  const o = new Named(M._quorin_open_options_new());
  if (limits) {
    try {
      check(M._quorin_open_options_set(o.ptr, OPTION.maxPasses, BigInt(limits[0])));
      check(M._quorin_open_options_set(o.ptr, OPTION.maxMemoryBytes, BigInt(limits[1])));
    } catch (e) {
      o.free();
      throw e;
    }
  }
  return o;
}

/** Checks a call's options as the library will take them (types, ranges,
 * recipients and identities parsed), hashing nothing; throws what the call
 * would. Gives the options as plain data for another thread. */
export function checkedOptions(sealing, options) {
  const o = optionsOf(options, sealing ? SEAL_OPTIONS : OPEN_OPTIONS);
  const set = secretsOf(o, sealing);
  try {
    (sealing ? sealOptions(o) : openOptions(o)).free();
  } finally {
    M._quorin_secrets_free(set);
  }
  const { signal, identities, recipients, ...plain } = o;
  if (identities !== undefined) plain.identities = keyTexts(identities, "identities");
  if (recipients !== undefined) plain.recipients = keyTexts(recipients, "recipients");
  return plain;
}
// Sealing and opening go through the C library's pushed form in pieces of
// PIECE bytes, gathered in one block of the module's memory and written out
// of another, both reused (and wiped when done): memory stays constant
// however long the input. A piece of a few chunks keeps the cipher's lanes
// busy and both blocks in cache (256 KiB measured faster than 64 KiB or 1 MiB).
const PIECE = 256 * 1024;
const CHUNK_KEYS_BYTES = 148;
const CHUNK_TAG_BYTES = 16;

/** Seals whole chunks of `chunk` bytes, or opens whole stored chunks, the
 * first numbered `first`, with a file's chunk keys (which are wiped here). */
export function chunks(sealing, keys, first, data, chunk) {
  const out = sealing ? (data.length / chunk) * (chunk + CHUNK_TAG_BYTES)
    : (data.length / (chunk + CHUNK_TAG_BYTES)) * chunk;
  try {
    return withHeap([Heap.of(keys), Heap.of(data), new Heap(out)], (k, src, dst) => {
      check((sealing ? M._quorin_seal_chunks : M._quorin_open_chunks)(
        k.ptr, keys.length, BigInt(first), src.ptr, data.length, dst.ptr, out));
      return dst.bytes();
    });
  } finally {
    keys.fill(0);
    if (sealing) data.fill(0);  // this thread's copy of the plaintext
  }
}

/** The length of the binary sealed header that `data` starts with, or 0
 * where it cannot be told (armour, too short, not a sealed file: opening
 * the whole reports those). */
export function headerLength(data) {
  const start = data.subarray(0, Math.min(data.length, 2 ** 20));
  return withHeap([Heap.of(start), new Heap(4)], (src, length) =>
    M._quorin_sealed_header_size(src.ptr, start.length, length.ptr) === 0 ? M.HEAPU32[length.ptr >> 2] : 0);
}
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

/** The C library's pushed sealer or opener over two reused blocks of the
 * module's memory; options as checkedOptions gives them. */
export class Pushed {
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
            finish: M._quorin_sealer_finish, free: M._quorin_sealer_free,
            chunkKeys: M._quorin_sealer_chunk_keys, skip: M._quorin_sealer_skip }
        : { room: M._quorin_opener_room, update: M._quorin_opener_update,
            finish: M._quorin_opener_finish, free: M._quorin_opener_free,
            chunkKeys: M._quorin_opener_chunk_keys, skip: M._quorin_opener_skip };
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

  /** The start of a file whose chunks other threads seal or open: a
   * sealer writes its header, an opener is given exactly the header. Then
   * the file's chunk keys (secret) and the chunk's plaintext length; no keys
   * for a file whose chunks follow one chain (version 1). */
  split(header) {
    this.#live();
    let head = new Uint8Array(0);
    const keep = (view) => { head = view.slice(); };
    if (header) this.push(header, keep);
    this.#step(false, keep);
    return withHeap([new Heap(CHUNK_KEYS_BYTES), new Heap(4)], (keys, length) => {
      const status = this.#calls.chunkKeys(this.#h, keys.ptr, CHUNK_KEYS_BYTES, length.ptr);
      if (status === -21 && header) return { head, keys: null, chunk: 0 };
      check(status);
      const n = M.HEAPU32[length.ptr >> 2];
      return { head, keys: keys.bytes(), chunk: header ? n - CHUNK_TAG_BYTES : n };
    });
  }

  /** The next chunks were sealed or opened by other threads. */
  skip(chunks) {
    this.#live();
    check(this.#calls.skip(this.#h, BigInt(chunks)));
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

/** A TransformStream's transformer over a Pushed, on this thread (the page's worker). */
export function transformerOf(pushed) {
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

// The exact length of the sealed form, from the C library's size query
// (which hashes no passphrase).
export function sealedSize(length, options) {
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

/** What a sealed file's header says, without a secret. */
export function sealedHeader(data) {
  const raw = textOrBytes(data, "data");
  return withHeap([Heap.of(raw), new Named(M._quorin_sealed_info_new()), new Heap(8)], (src, info, value) => {
    check(M._quorin_sealed_info_buffer(src.ptr, raw.length, 0, info.ptr));
    const field = (name) => {
      check(M._quorin_sealed_info_get(info.ptr, name, value.ptr));
      return Number(new DataView(M.HEAPU8.buffer, value.ptr, 8).getBigUint64(0, true));
    };
    const kinds = field(INFO.kinds);
    return {
      version: field(INFO.version),
      mode: MODES[field(INFO.mode)],
      keySize: field(INFO.keySize),
      kinds: KINDS.filter((_, i) => kinds & (1 << i)),
      recipients: field(INFO.recipients),
      passes: field(INFO.passes),
      memoryBytes: field(INFO.memoryBytes),
      chunkBytes: field(INFO.chunkBytes),
    };
  });
}

/** The bytes of the module's memory now: a thread that grew large for a
 * passphrase's hashing may be let go. */
export function memoryBytes() {
  return M.HEAPU8.length;
}
