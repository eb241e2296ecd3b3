// Sealed files in WebAssembly: the known-answer files, round trips, and
// every kind of failure with its own error.
import { test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import * as quorin from "../index.js";

const DATA = new URL("../../../tests/data/", import.meta.url);
const read = (name) => new Uint8Array(readFileSync(new URL(name, DATA)));
const PLAIN = read("sealed-kat.txt");
const SECRETS = {
  passphrase: { passphrase: "quorin known answer" },
  keyFile: { keyFile: read("sealed-kat.key") },
  identity: { identities: [new TextDecoder().decode(read("sealed-kat.identity")).trim()] },
};
const FAST = [1, 8192]; // Argon2id at its minimum: the binding is under test

test("the known-answer files open with each secret they were sealed for", () => {
  const files = {
    "sealed-keyfile.qsl": ["keyFile"], "sealed-passphrase.qsl": ["passphrase"],
    "sealed-v2-keyfile.qsl": ["keyFile"], "sealed-v2-identity.qsl": ["identity"],
    "sealed-v2-three.qsl": ["passphrase", "keyFile", "identity"],
  };
  for (const [name, kinds] of Object.entries(files)) {
    assert.deepEqual(quorin.sealedHeader(read(name)).kinds, kinds);
    for (const kind of kinds) assert.deepEqual(quorin.open(read(name), SECRETS[kind]), PLAIN, `${name} ${kind}`);
  }
});

test("round trips in every mode and key size, with each kind of secret", () => {
  const me = quorin.generateIdentity();
  const kinds = [
    [{ passphrase: "correct horse", cost: FAST }, { passphrase: "correct horse" }],
    [{ keyFile: new Uint8Array(32).fill(3) }, { keyFile: new Uint8Array(32).fill(3) }],
    [{ recipients: [me.recipient] }, { identities: [me.identity] }],
  ];
  for (const mode of ["cbc", "cfb", "ofb"])
    for (const keySize of [128, 192, 256])
      for (const [sealing, opening] of kinds)
        for (const size of [0, 1, 65535, 65536, 65537]) {
          const data = Uint8Array.from({ length: size }, (_, i) => i % 251);
          const sealed = quorin.seal(data, { mode, keySize, ...sealing });
          const header = quorin.sealedHeader(sealed);
          assert.equal(header.mode, mode);
          assert.equal(header.keySize, keySize);
          assert.deepEqual(quorin.open(sealed, opening), data);
        }
});

test("each failure has its own error, and nothing of the plaintext", () => {
  const key = new Uint8Array(32).fill(9);
  const sealed = quorin.seal(new Uint8Array(200000), { keyFile: key });
  const flip = (at) => { const c = sealed.slice(); c[at] ^= 1; return c; };
  const cases = [
    [flip(sealed.length - 40), quorin.AuthenticationError, { keyFile: key }],
    [sealed.slice(0, -20), quorin.TruncatedError, { keyFile: key }],
    [new TextEncoder().encode("not sealed at all"), quorin.NotSealedError, { keyFile: key }],
    [sealed, quorin.AuthenticationError, { keyFile: new Uint8Array(32) }],
    [sealed, quorin.SecretKindError, { passphrase: "p" }],
  ];
  for (const [data, error, secret] of cases)
    assert.throws(() => quorin.open(data, secret), (e) => e instanceof error && e instanceof quorin.QuorinError);
  const costly = quorin.seal("x", { passphrase: "p", cost: "interactive" });
  assert.throws(() => quorin.open(costly, { passphrase: "p", costLimit: [1, 2 ** 30] }),
    (e) => e instanceof quorin.CostLimitError && e.status === -33);
});

test("armour, a passphrase with a key file, and key lists, as the tool has them", async () => {
  const data = Uint8Array.from({ length: 70000 }, (_, i) => i % 253);
  const keyFile = new Uint8Array(300).fill(7); // beyond the 256 bytes the tool once read
  const text = quorin.seal(data, { passphrase: "pw", keyFile, cost: FAST, armour: true });
  assert.equal(typeof text, "string");
  assert.match(text, /^-----BEGIN QUORIN SEALED FILE-----\n([A-Za-z0-9+/=]{64}\n)+/);
  assert.deepEqual(quorin.open(text, { passphrase: "pw" }), data);
  assert.deepEqual(quorin.open("> " + text.replaceAll("\n", "\n> "), { keyFile }), data);
  assert.deepEqual(await collect(quorin.open(streamOf(new TextEncoder().encode(text), [1, 7, 4096]), { keyFile })), data);
  assert.throws(() => quorin.open(text.replace("\n-----END", "\n"), { keyFile }),
    (e) => e instanceof quorin.BadArmourError && e.code === "QUORIN_BAD_ARMOUR");
  const me = quorin.generateIdentity();
  const sealed = quorin.seal(data, { recipients: `# for me\n\n${me.recipient}\n` });
  assert.deepEqual(quorin.open(sealed, { identities: `# mine\n${quorin.generateIdentity().identity}\n${me.identity}\n` }), data);
  assert.throws(() => quorin.open(sealed, { identities: `# mine\n\nQUORIN-IDENTITY-1QQQ\n` }), /line 3/);
});

test("costs are whole numbers in range, never wrapped or rounded", () => {
  const data = new Uint8Array(1);
  for (const [cost, error] of [
    [[2 ** 32 + 1, 8192], RangeError], [[1, 2 ** 64 + 65536], RangeError], [[1.9, 8192], RangeError],
    [[0, 8192], RangeError], [[5, 8192], RangeError], [[1, 4096], RangeError], [[1, 2 ** 30 + 1], RangeError],
    [["b", 8192], TypeError], [[1], TypeError], ["extreme", RangeError], [null, TypeError],
  ])
    assert.throws(() => quorin.seal(data, { passphrase: "p", cost }), error, JSON.stringify(cost));
  const sealed = quorin.seal(data, { passphrase: "p", cost: FAST });
  for (const costLimit of [[0.5, 8192], [1, "lots"], [1, -1], 4])
    assert.throws(() => quorin.open(sealed, { passphrase: "p", costLimit }), /costLimit/);
});

test("results are plain ArrayBuffers that Blob, TextDecoder and Response take", async () => {
  const sealed = quorin.seal("hello", { keyFile: new Uint8Array(32), armour: false });
  const plain = quorin.open(sealed, { keyFile: new Uint8Array(32) });
  for (const array of [sealed, plain]) {
    assert.equal(array.buffer.resizable ?? false, false);
    assert.equal(array.byteLength, array.buffer.byteLength);
  }
  assert.equal(await new Response(new Blob([plain])).text(), "hello");
  assert.equal(new TextDecoder().decode(plain), "hello");
});

test("5,000 cancelled streams give their memory back: the next seal works", async () => {
  const key = new Uint8Array(32).fill(4);
  const sealed = quorin.seal(new Uint8Array(300000), { keyFile: key });
  for (let i = 0; i < 5000; ++i) {
    const reader = quorin.open(new Blob([sealed]).stream(), { keyFile: key }).getReader();
    await reader.read();
    await reader.cancel();
    if (i % 2 === 0) {  // and a source that fails half-way
      const failing = new ReadableStream({ pull(c) { c.enqueue(sealed.subarray(0, 1000)); c.error(new Error("gone")); } });
      await assert.rejects(collect(quorin.open(failing, { keyFile: key })), /gone/);
    }
  }
  assert.deepEqual(quorin.open(quorin.seal(new Uint8Array(100), { keyFile: key }), { keyFile: key }), new Uint8Array(100));
});

test("wrong arguments are refused before any work", () => {
  assert.throws(() => quorin.seal(new Uint8Array(1)), RangeError);
  assert.throws(() => quorin.seal(new Uint8Array(1), { passphrase: "" }), RangeError);
  assert.throws(() => quorin.seal(new Uint8Array(1), { keyFile: "a path" }), TypeError);
  assert.throws(() => quorin.seal(new Uint8Array(1), { keyFile: new Uint8Array(32), mode: "ecb" }), RangeError);
  assert.throws(() => quorin.seal(new Uint8Array(1), { recipients: ["quorin1qqqq"] }), RangeError);
  assert.throws(() => quorin.open(42, { passphrase: "p" }), TypeError);
});

// A ReadableStream of data in pieces of the given sizes (cycled).
function streamOf(data, sizes) {
  let at = 0, i = 0;
  return new ReadableStream({
    pull(controller) {
      if (at >= data.length) return controller.close();
      const n = sizes[i++ % sizes.length];
      controller.enqueue(data.slice(at, at + n));
      at += n;
    },
  });
}

async function collect(stream) {
  const parts = [];
  for await (const part of stream) parts.push(part);
  const out = new Uint8Array(parts.reduce((n, p) => n + p.length, 0));
  let at = 0;
  for (const p of parts) { out.set(p, at); at += p.length; }
  return out;
}

test("streams seal and open in any pieces, the known-answer files too", async () => {
  const key = { keyFile: new Uint8Array(32).fill(5) };
  const data = Uint8Array.from({ length: 3 * 65536 + 1000 }, (_, i) => (i * 7) % 256);
  for (const sizes of [[1, 0, 4095], [65536], [3 * 65536 + 1000], [2 ** 20 + 5]]) {
    const sealed = await collect(quorin.seal(streamOf(data, sizes), { mode: "ofb", ...key }));
    assert.equal(sealed.length, quorin.seal(data, key).length);
    assert.deepEqual(quorin.open(sealed, key), data);
    assert.deepEqual(await collect(quorin.open(streamOf(sealed, sizes.toReversed?.() ?? sizes), key)), data);
  }
  for (const [name, kind] of [["sealed-passphrase.qsl", "passphrase"], ["sealed-v2-three.qsl", "identity"]])
    assert.deepEqual(await collect(quorin.open(streamOf(read(name), [13]), SECRETS[kind])), PLAIN, name);
});

test("a stream releases the verified chunks, then errors; bad options throw at once", async () => {
  const key = { keyFile: new Uint8Array(32).fill(6) };
  const data = new Uint8Array(10 * 65536).fill(1);
  const sealed = quorin.seal(data, key);
  const header = sealed.length - data.length - 16 - 11 * 16;
  const altered = sealed.slice();
  altered[header + 4 * (65536 + 16) + 100] ^= 1; // in the fifth chunk
  const released = [];
  const reading = (async () => { for await (const p of quorin.open(streamOf(altered, [4096]), key)) released.push(p.length); })();
  await assert.rejects(reading, quorin.AuthenticationError);
  // Whole chunks that were verified, and nothing from the fifth on.
  const total = released.reduce((a, b) => a + b, 0);
  assert.ok(total % 65536 === 0 && total <= 4 * 65536, `${total} bytes released`);
  await assert.rejects(collect(quorin.open(streamOf(sealed.slice(0, -16), [999]), key)), quorin.TruncatedError);
  await assert.rejects(collect(quorin.open(streamOf(new Uint8Array(100), [7]), key)), quorin.NotSealedError);
  assert.throws(() => new quorin.SealStream({ keyFile: new Uint8Array(32), mode: "ecb" }), RangeError);
  assert.throws(() => new quorin.OpenStream({}), RangeError);
});

test("streams keep memory constant", async () => {
  const key = { keyFile: new Uint8Array(32).fill(7) };
  const piece = new Uint8Array(2 ** 20).fill(3), pieces = 128;
  let left = pieces;
  const source = new ReadableStream({ pull(c) { if (left-- > 0) c.enqueue(piece); else c.close(); } });
  const before = process.memoryUsage().rss;
  let total = 0;
  for await (const p of quorin.open(quorin.seal(source, key), key)) total += p.length;
  assert.equal(total, pieces * piece.length);
  const grown = (process.memoryUsage().rss - before) / 2 ** 20;
  assert.ok(grown < 64, `memory grew by ${grown.toFixed(0)} MiB for 128 MiB through both streams`);
});
