// Type declarations of the quorin package (index.js).

export type Mode = "ecb" | "cbc" | "cfb" | "ofb";
export type KeySize = 128 | 192 | 256;
export type StringMode = "encode" | "normal";
export type Bytes = Uint8Array | ArrayBuffer | ArrayBufferView;
/** What the package returns: bytes on a plain (fixed-length) ArrayBuffer,
 * which Blob, File, TextDecoder, crypto.subtle and fetch take. */
export type Result = Uint8Array<ArrayBuffer>;

/** Settled once the WebAssembly module is loaded: at once when imported (the
 * import waits for it), later when required from CommonJS. */
export const ready: Promise<void>;
/** The module this engine runs: "simd128", or "portable" where WebAssembly
 * has no SIMD (or QUORIN_CPU_DISABLE names simd128, in Node). */
export const kernel: "simd128" | "portable";

/** A refused or failed operation; `status` is the C library's code, `code` its name. */
export class QuorinError extends Error {
  readonly status: number;
  readonly code: string;
}
export class SealedFileError extends QuorinError {}
export class NotSealedError extends SealedFileError {}
export class UnsupportedVersionError extends SealedFileError {}
export class BadHeaderError extends SealedFileError {}
export class CostLimitError extends BadHeaderError {}
/** A wrong secret, or the file was altered: a tag cannot tell which. */
export class AuthenticationError extends SealedFileError {}
export class TruncatedError extends SealedFileError {}
export class SecretKindError extends SealedFileError {}
/** Armoured text (it has a BEGIN line) that was cut short or altered. */
export class BadArmourError extends SealedFileError {}

/** The package version of the C library, "1.11". */
export function version(): string;
/** The radix-64 armour of data, as the component writes it: one line. */
export function encode(data: Bytes): string;
/** The bytes of radix-64 armour; characters outside the alphabet count as 0. */
export function decode(text: string | Bytes): Result;

/** One instance of the component; the chain runs on between calls. Its
 * string mode is part of its type: encryptString gives an armoured string
 * in "encode" (the default) and bytes in "normal". `using` closes it. */
export class Quorin<S extends StringMode = "encode"> {
  constructor(options?: { mode?: Mode; keySize?: KeySize; stringMode?: S });
  mode: Mode;
  keySize: KeySize;
  readonly stringMode: S;
  initialise(key: Bytes): void;
  loadIV(iv: Bytes): void;
  burn(): void;
  close(): void;
  [Symbol.dispose](): void;
  encryptBlock(block: Bytes): Result;
  decryptBlock(block: Bytes): Result;
  encryptString(data: string | Bytes): S extends "normal" ? Result : string;
  decryptString(data: string | Bytes): Result;
  mac(): Result;
}

/** A recipient ("quorin1..."): whom a file is sealed for; not secret. */
export class Recipient {
  private constructor();
  private readonly brand: "Recipient";
  /** The recipient in text, checked: RangeError for what is none. */
  static parse(text: string): Recipient;
  toString(): string;
  toJSON(): string;
}
/** An identity ("QUORIN-IDENTITY-1..."): the secret that opens what was
 * sealed for its recipient. JSON and Node's inspect show no secret;
 * toString() gives the text; `using` drops it at the end of a block. */
export class Identity {
  private constructor();
  private readonly brand: "Identity";
  static generate(): Identity;
  /** The identity in text, checked: RangeError for what is none. */
  static parse(text: string): Identity;
  readonly recipient: Recipient;
  toString(): string;
  toJSON(): "[Identity]";
  [Symbol.dispose](): void;
}

/** The passphrase costs by name: [passes, bytes of memory]. */
export const COSTS: Readonly<Record<"interactive" | "moderate" | "sensitive", readonly [number, number]>>;
export type Cost = keyof typeof COSTS | readonly [number, number];

export interface SealOptions {
  /** A string is taken as UTF-8, as typed (not normalised). */
  passphrase?: string | Bytes;
  /** The bytes of a key file. */
  keyFile?: Bytes;
  /** Recipients, or the text of a recipients file (one a line, '#' comments). */
  recipients?: string | Recipient | readonly (string | Recipient)[];
  mode?: "cbc" | "cfb" | "ofb";
  keySize?: KeySize;
  cost?: Cost;
  /** The text form: base64 between BEGIN and END lines, as `quorin seal -a`. */
  armour?: boolean;
  /** Aborting rejects the call (or errors the stream) with the signal's reason. */
  signal?: AbortSignal;
}
export interface OpenOptions {
  passphrase?: string | Bytes;
  keyFile?: Bytes;
  /** Identities, or the text of an identity file. */
  identities?: string | Identity | readonly (string | Identity)[];
  /** [passes, bytes]: a header asking for more is refused (CostLimitError). */
  costLimit?: readonly [number, number];
  signal?: AbortSignal;
}
export interface SealedHeader {
  version: number;
  mode: "cbc" | "cfb" | "ofb";
  keySize: KeySize;
  kinds: Array<"passphrase" | "keyFile" | "identity">;
  recipients: number;
  passes: number;
  memoryBytes: number;
  chunkBytes: number;
}

/** The sealed bytes of data, as `quorin seal` writes them (the text with
 * `armour: true`), sealed on one of the package's threads; a stream gives a
 * stream, in constant memory. */
export function seal(data: string | Bytes, options: SealOptions & { armour: true }): Promise<string>;
export function seal(data: string | Bytes, options: SealOptions): Promise<Result>;
export function seal(data: ReadableStream<Uint8Array>, options: SealOptions): ReadableStream<Result>;
/** The plaintext, once every tag matched, of binary or armoured input (a
 * string, or its bytes) alike; a stream gives a stream, which releases each
 * chunk once its tag matched and errors with the matching QuorinError. */
export function open(data: string | Bytes, options: OpenOptions): Promise<Result>;
export function open(data: ReadableStream<Uint8Array>, options: OpenOptions): ReadableStream<Result>;
/** Seals what is written to it; bad options throw from the constructor. */
export class SealStream extends TransformStream<Uint8Array, Result> {
  constructor(options: SealOptions);
}
/** Opens what is written to it. */
export class OpenStream extends TransformStream<Uint8Array, Result> {
  constructor(options: OpenOptions);
}
/** What a sealed file's header says, without a secret. */
export function sealedHeader(data: string | Bytes): SealedHeader;
/** A new identity and its recipient. */
export function generateIdentity(): { identity: Identity; recipient: Recipient };
/** The recipient of an identity. */
export function recipientOf(identity: string | Identity): Recipient;
