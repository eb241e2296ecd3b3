// The component in WebAssembly against the published vectors, the mode
// vectors from an independent library, round trips, and its refusals.
import { test } from "node:test";
import assert from "node:assert/strict";
import * as quorin from "../index.js";
import { isNode, read } from "./support.js";

const hex = (s) => Uint8Array.from(s.match(/../g) ?? [], (b) => parseInt(b, 16));
const table = async (name) =>
  new TextDecoder().decode(await read(`tests/data/${name}`)).split("\n")
    .filter((l) => l.trim() && !l.startsWith("#")).map((l) => l.trim().split(/\s+/));
const PUBLISHED = await table("rc6-published.vec"), MODES = await table("rc6-modes.vec");
const SIZES = { 16: 128, 24: 192, 32: 256 };

test("the module for this engine, or the portable one when SIMD is taken away", () => {
  const disabled = isNode && (process.env.QUORIN_CPU_DISABLE ?? "").includes("simd128");
  assert.equal(quorin.kernel, disabled ? "portable" : "simd128");
});

test("the published RC6-32/20 vectors, both ways", () => {
  for (const [bytes, key, plain, cipher] of PUBLISHED) {
    const q = new quorin.Quorin({ keySize: SIZES[bytes] });
    q.initialise(hex(key));
    assert.deepEqual(q.encryptBlock(hex(plain)), hex(cipher));
    assert.deepEqual(q.decryptBlock(hex(cipher)), hex(plain));
    q.close();
  }
});

test("every mode's vectors are the unpadded prefix of a raw string", () => {
  for (const [mode, bytes, key, iv, plain, cipher] of MODES) {
    const q = new quorin.Quorin({ mode: mode.toLowerCase(), keySize: SIZES[bytes], stringMode: "normal" });
    q.initialise(hex(key));
    q.loadIV(hex(iv));
    const out = q.encryptString(hex(plain));
    assert.deepEqual(out.slice(0, cipher.length / 2), hex(cipher));
    assert.equal(out.length, plain.length / 2 + 16);
  }
});

test("round trips in every mode, key size and string mode", () => {
  for (const mode of ["ecb", "cbc", "cfb", "ofb"])
    for (const keySize of [128, 192, 256])
      for (const stringMode of ["encode", "normal"]) {
        const [enc, dec] = [0, 1].map(() => new quorin.Quorin({ mode, keySize, stringMode }));
        assert.deepEqual([enc.mode, enc.keySize, enc.stringMode], [mode, keySize, stringMode]);
        for (const q of [enc, dec]) {
          q.initialise(new TextEncoder().encode("javascript binding key, 32 bytes"));
          q.loadIV(new TextEncoder().encode("javascript iv..."));
        }
        for (const length of [0, 1, 15, 16, 17, 4095, 4096, 4097]) {
          const data = Uint8Array.from({ length }, (_, i) => i * 7);
          const text = enc.encryptString(data);
          if (stringMode === "encode") assert.equal(typeof text, "string");
          assert.deepEqual(dec.decryptString(text), data);
        }
      }
});

test("the armour and the CBC-MAC", () => {
  assert.equal(quorin.encode(new Uint8Array([97])), "ME");
  assert.deepEqual(quorin.decode("ME"), new Uint8Array([97]));
  const q = new quorin.Quorin({ mode: "cbc", stringMode: "normal" });
  q.initialise(new Uint8Array(16));
  q.loadIV(new Uint8Array(16));
  const out = q.encryptString(new Uint8Array(32));
  assert.deepEqual(q.mac(), out.slice(32, 48));
  q.mode = "ecb";
  assert.throws(() => q.mac(), (e) => e instanceof quorin.QuorinError && e.status === -6);
});

test("refusals: the component's statuses, and wrong arguments before any call", async () => {
  const q = new quorin.Quorin({ mode: "cbc" });
  assert.throws(() => q.encryptBlock(new Uint8Array(16)), (e) => e.status === -1 && e.code === "QUORIN_NO_KEY");
  q.initialise(new Uint8Array(16));
  assert.throws(() => q.encryptBlock(new Uint8Array(16)), (e) => e.status === -4);
  assert.throws(() => q.initialise(new Uint8Array(0)), (e) => e.status === -2);
  assert.throws(() => q.encryptBlock(new Uint8Array(15)), RangeError);
  assert.throws(() => q.initialise("key"), /^TypeError: key must be bytes \(a Uint8Array, an ArrayBuffer or a view\), not a string/);
  assert.throws(() => q.loadIV(new Uint8Array(0)), /^RangeError: the IV is empty/);
  assert.throws(() => new quorin.Quorin({ mode: "cbc", keysize: 256 }), /^TypeError: unknown option keysize/);
  assert.throws(() => { q.mode = "xts"; }, RangeError);
  assert.throws(() => { q.keySize = "256"; }, TypeError);
  for (const bad of [() => new quorin.Quorin(null), () => new quorin.Quorin("cbc")])
    assert.throws(bad, /^TypeError: options must be an object/);
  for (const bad of [() => quorin.seal(new Uint8Array(1), null), () => quorin.open(new Uint8Array(1), [])])
    await assert.rejects(bad, /^TypeError: options must be an object/);
  // The tool's framed armour is not a component string: the error says what it is.
  const framed = "-----BEGIN QUORIN MESSAGE-----\nABCDEFGH\n-----END QUORIN MESSAGE-----\n";
  const keyed = new quorin.Quorin();
  keyed.initialise(new Uint8Array(16));
  assert.throws(() => keyed.decryptString(framed), /framed armour/);
  q.close();
  assert.throws(() => q.mode, TypeError);
  assert.equal(quorin.version(), "1.11");
});
