// Sealed files in WebAssembly: the known-answer files, round trips, every
// kind of failure with its own error, and the promises and streams around
// them (off the event loop, cancellable, bounded in memory).
import { test } from "node:test";
import assert from "node:assert/strict";
import * as quorin from "../index.js";
import { collect, isNode, read, streamOf } from "./support.js";

const data = (name) => read(`tests/data/${name}`);
const PLAIN = await data("sealed-kat.txt");
const SECRETS = {
  passphrase: { passphrase: "quorin known answer" },
  keyFile: { keyFile: await data("sealed-kat.key") },
  identity: { identities: [new TextDecoder().decode(await data("sealed-kat.identity")).trim()] },
};
const FAST = [1, 8192]; // Argon2id at its minimum: the binding is under test

test("the known-answer files open with each secret they were sealed for", async () => {
  const files = {
    "sealed-keyfile.qsl": ["keyFile"], "sealed-passphrase.qsl": ["passphrase"],
    "sealed-v2-keyfile.qsl": ["keyFile"], "sealed-v2-identity.qsl": ["identity"],
    "sealed-v2-three.qsl": ["passphrase", "keyFile", "identity"],
  };
  for (const [name, kinds] of Object.entries(files)) {
    const sealed = await data(name);
    assert.deepEqual(quorin.sealedHeader(sealed).kinds, kinds);
    for (const kind of kinds) assert.deepEqual(await quorin.open(sealed, SECRETS[kind]), PLAIN, `${name} ${kind}`);
  }
});

test("round trips in every mode and key size, with each kind of secret", async () => {
  const me = quorin.generateIdentity();
  const kinds = [
    [{ passphrase: "correct horse", cost: FAST }, { passphrase: "correct horse" }],
    [{ keyFile: new Uint8Array(32).fill(3) }, { keyFile: new Uint8Array(32).fill(3) }],
    [{ recipients: [me.recipient] }, { identities: [me.identity] }],
  ];
  const work = [];
  for (const mode of ["cbc", "cfb", "ofb"])
    for (const keySize of [128, 192, 256])
      for (const [sealing, opening] of kinds)
        for (const size of [0, 1, 65535, 65536, 65537])
          work.push((async () => {
            const plain = Uint8Array.from({ length: size }, (_, i) => i % 251);
            const sealed = await quorin.seal(plain, { mode, keySize, ...sealing });
            const header = quorin.sealedHeader(sealed);
            assert.deepEqual([header.mode, header.keySize], [mode, keySize]);
            assert.deepEqual(await quorin.open(sealed, opening), plain);
          })());
  await Promise.all(work);  // side by side on the package's threads
});

test("each failure has its own error, and nothing of the plaintext", async () => {
  const key = new Uint8Array(32).fill(9);
  const sealed = await quorin.seal(new Uint8Array(200000), { keyFile: key });
  const flip = (at) => { const c = sealed.slice(); c[at] ^= 1; return c; };
  const cases = [
    [flip(sealed.length - 40), quorin.AuthenticationError, { keyFile: key }],
    [sealed.slice(0, -20), quorin.TruncatedError, { keyFile: key }],
    [new TextEncoder().encode("not sealed at all"), quorin.NotSealedError, { keyFile: key }],
    [sealed, quorin.AuthenticationError, { keyFile: new Uint8Array(32) }],
    [sealed, quorin.SecretKindError, { passphrase: "p" }],
  ];
  for (const [bytes, error, secret] of cases)
    await assert.rejects(quorin.open(bytes, secret), (e) => e instanceof error && e instanceof quorin.QuorinError);
  const costly = await quorin.seal("x", { passphrase: "p", cost: "interactive" });
  await assert.rejects(quorin.open(costly, { passphrase: "p", costLimit: [1, 2 ** 30] }),
    (e) => e instanceof quorin.CostLimitError && e.status === -33);
});

test("armour, a passphrase with a key file, and key lists, as the tool has them", async () => {
  const plain = Uint8Array.from({ length: 70000 }, (_, i) => i % 253);
  const keyFile = new Uint8Array(300).fill(7); // beyond the 256 bytes the tool once read
  const text = await quorin.seal(plain, { passphrase: "pw", keyFile, cost: FAST, armour: true });
  assert.equal(typeof text, "string");
  assert.match(text, /^-----BEGIN QUORIN SEALED FILE-----\n([A-Za-z0-9+/=]{64}\n)+/);
  assert.deepEqual(await quorin.open(text, { passphrase: "pw" }), plain);
  assert.deepEqual(await quorin.open("> " + text.replaceAll("\n", "\n> "), { keyFile }), plain);
  assert.deepEqual(await collect(quorin.open(streamOf(new TextEncoder().encode(text), [1, 7, 4096]), { keyFile })), plain);
  await assert.rejects(quorin.open(text.replace("\n-----END", "\n"), { keyFile }),
    (e) => e instanceof quorin.BadArmourError && e.code === "QUORIN_BAD_ARMOUR");
  const me = quorin.generateIdentity();
  const sealed = await quorin.seal(plain, { recipients: `# for me\n\n${me.recipient}\n` });
  assert.deepEqual(await quorin.open(sealed, { identities: `# mine\n${quorin.generateIdentity().identity}\n${me.identity}\n` }), plain);
  await assert.rejects(quorin.open(sealed, { identities: `# mine\n\nQUORIN-IDENTITY-1QQQ\n` }), /line 3/);
});

test("identities and recipients are their own types, parsed once, the secret kept out of logs", async () => {
  const me = quorin.Identity.generate();
  assert.ok(me.recipient instanceof quorin.Recipient);
  assert.match(String(me), /^QUORIN-IDENTITY-1[0-9A-Z]+$/);
  assert.match(`${me.recipient}`, /^quorin1[0-9a-z]+$/);
  assert.equal(quorin.Identity.parse(` ${me}\n`).toString(), me.toString());
  assert.equal(quorin.Recipient.parse(String(me.recipient)).toString(), String(me.recipient));
  assert.equal(String(quorin.recipientOf(String(me))), String(me.recipient));
  assert.equal(JSON.stringify({ me, to: me.recipient }), `{"me":"[Identity]","to":"${me.recipient}"}`);
  if (isNode) assert.doesNotMatch((await import("node:util")).inspect(me), /IDENTITY/);
  for (const [parse, bad, error] of [
    [quorin.Identity.parse, "QUORIN-IDENTITY-1QQQ", RangeError], [quorin.Recipient.parse, "quorin1qqqq", RangeError],
    [quorin.Identity.parse, 42, TypeError], [quorin.Recipient.parse, null, TypeError],
  ])
    assert.throws(() => parse(bad), error, String(bad));
  const sealed = await quorin.seal("for me", { recipients: me.recipient });
  assert.equal(new TextDecoder().decode(await quorin.open(sealed, { identities: me })), "for me");
  me[Symbol.dispose]();
  assert.equal(String(me), "");
});

test("costs and options are checked for type and range, never wrapped, rounded or ignored", async () => {
  const one = new Uint8Array(1);
  for (const [cost, error] of [
    [[2 ** 32 + 1, 8192], RangeError], [[1, 2 ** 64 + 65536], RangeError], [[1.9, 8192], RangeError],
    [[0, 8192], RangeError], [[5, 8192], RangeError], [[1, 4096], RangeError], [[1, 2 ** 30 + 1], RangeError],
    [["b", 8192], TypeError], [[1], TypeError], ["extreme", RangeError], [null, TypeError],
  ])
    await assert.rejects(quorin.seal(one, { passphrase: "p", cost }), error, JSON.stringify(cost));
  const sealed = await quorin.seal(one, { passphrase: "p", cost: FAST });
  for (const costLimit of [[0.5, 8192], [1, "lots"], [1, -1], 4])
    await assert.rejects(quorin.open(sealed, { passphrase: "p", costLimit }), /costLimit/);
  for (const [options, message] of [
    [{ keyFile: new Uint8Array(32), armor: true }, /unknown option armor \(spelt armour here\)/],
    [{ keyFile: new Uint8Array(32), identities: "x" }, /unknown option identities/],
    [{ keyFile: new Uint8Array(32), armour: "yes" }, /^TypeError: armour must be true or false/],
    [{ keyFile: new Uint8Array(32), signal: "stop" }, /^TypeError: signal must be an AbortSignal/],
    [{ recipients: [42] }, /^TypeError: recipients must be strings or Recipient objects/],
  ])
    await assert.rejects(quorin.seal(one, options), message);
});

test("wrong arguments are refused before any work", async () => {
  const one = new Uint8Array(1);
  for (const [call, error] of [
    [() => quorin.seal(one), RangeError], [() => quorin.seal(one, { passphrase: "" }), RangeError],
    [() => quorin.seal(one, { keyFile: "a path" }), TypeError],
    [() => quorin.seal(one, { keyFile: new Uint8Array(32), mode: "ecb" }), RangeError],
    [() => quorin.seal(one, { recipients: ["quorin1qqqq"] }), RangeError],
    [() => quorin.open(42, { passphrase: "p" }), TypeError],
  ])
    await assert.rejects(call, error);
  assert.throws(() => new quorin.SealStream({ keyFile: new Uint8Array(32), mode: "ecb" }), RangeError);
  assert.throws(() => new quorin.OpenStream({}), RangeError);
});

test("results are plain ArrayBuffers that Blob, TextDecoder and Response take", async () => {
  const sealed = await quorin.seal("hello", { keyFile: new Uint8Array(32), armour: false });
  const plain = await quorin.open(sealed, { keyFile: new Uint8Array(32) });
  for (const array of [sealed, plain]) {
    assert.equal(array.buffer.resizable ?? false, false);
    assert.equal(array.byteLength, array.buffer.byteLength);
  }
  assert.equal(await new Response(new Blob([plain])).text(), "hello");
  assert.equal(new TextDecoder().decode(plain), "hello");
  assert.equal(new Blob([await quorin.seal("hello", { keyFile: new Uint8Array(32) })]).size, sealed.length);
});

test("views into a larger buffer are read at their offset; the buffer stays whole", async () => {
  const key = { keyFile: new Uint8Array(32).fill(9) };
  const plain = Uint8Array.from({ length: 70000 }, (_, i) => i % 251);
  const sealed = await quorin.seal(plain, key);
  const inside = (bytes) => {
    // Node's small Buffers share one pool: the kind of view that exposed this.
    const around = isNode ? globalThis.Buffer.from(bytes) : new Uint8Array(bytes.length + 40);
    if (!isNode) around.set(bytes, 40);
    return isNode ? around : around.subarray(40);
  };
  const small = inside(new Uint8Array([1, 2, 3]));
  const neighbour = isNode ? globalThis.Buffer.from("the pool's other tenant") : null;
  for (const view of [inside(sealed), inside(sealed.subarray(0, 200))]) {
    if (view.length === sealed.length) assert.deepEqual(await quorin.open(view, key), plain);
    else await assert.rejects(quorin.open(view, key), quorin.TruncatedError);
  }
  assert.deepEqual(await quorin.open(await quorin.seal(small, key), key), new Uint8Array([1, 2, 3]));
  assert.deepEqual(await collect(quorin.open(streamOf(inside(sealed), [999]), key)), plain);
  assert.deepEqual(await quorin.open(await collect(quorin.seal(streamOf(inside(plain), [999]), key)), key), plain);
  if (neighbour) assert.equal(neighbour.toString(), "the pool's other tenant");
});

// Whole arrays and streams share a file's chunks among the threads in
// batches of different sizes; each opens what the other seals, and both
// report the same failure (interop.test.js checks them against the tool).
test("a large file's chunks, shared among the threads, agree between arrays and streams", async () => {
  const key = { keyFile: new Uint8Array(32).fill(7) };
  const C = 65536, S = C + 16;
  const whole = async (data) => quorin.open(data, key);
  const streamed = async (data) => collect(quorin.open(streamOf(data, [2 ** 20]), key));
  const failure = (promise) => promise.then(() => null, (e) => `${e.name}: ${e.message}`);
  for (const [mode, size] of [["cbc", 8 * 2 ** 20], ["cfb", 8 * 2 ** 20 + 5], ["ofb", 130 * C + 17]]) {
    const plain = Uint8Array.from({ length: size }, (_, i) => (i * 13) % 251);
    const split = await quorin.seal(plain, { ...key, mode });
    const single = await collect(quorin.seal(streamOf(plain, [2 ** 20]), { ...key, mode }));
    assert.equal(split.length, single.length);
    assert.deepEqual(await streamed(split), plain, `${mode}: an array's sealed form opened as a stream`);
    assert.deepEqual(await whole(single), plain, `${mode}: a stream's sealed form opened as an array`);
    const last = Math.floor(size / C);  // the final chunk's number
    const header = split.length - last * S - ((size % C) - (size % 16) + 32);
    // Damage, refused alike: a middle chunk, the last, both (the first in
    // the file is reported), a cut at a chunk.
    const damaged = (...chunks) => {
      const copy = split.slice();
      for (const c of chunks) copy[header + c * S + 8] ^= 1;
      return copy;
    };
    for (const bad of [damaged(5), damaged(last), damaged(last, 70), split.slice(0, header + last * S)]) {
      const expected = await failure(streamed(bad));
      assert.ok(expected, `${mode}: the damage is found`);
      assert.equal(await failure(whole(bad)), expected);
    }
  }
});

test("a passphrase is hashed off the event loop, and an abort stops the call", async () => {
  let ticks = 0;
  const timer = setInterval(() => ++ticks, 5);
  const sealed = await quorin.seal("slow", { passphrase: "p", cost: "interactive" });
  clearInterval(timer);
  assert.ok(ticks > 0, "a timer ran while the passphrase was hashed");
  const controller = new AbortController();
  const opening = quorin.open(sealed, { passphrase: "p", signal: controller.signal });
  controller.abort(new Error("no longer wanted"));
  await assert.rejects(opening, /no longer wanted/);
  await assert.rejects(quorin.seal("x", { keyFile: new Uint8Array(32), signal: AbortSignal.abort() }), { name: "AbortError" });
  // A large input stops between pieces; the threads go on serving.
  const key = { keyFile: new Uint8Array(32) };
  const big = new AbortController();
  const sealing = quorin.seal(new Uint8Array(64 * 2 ** 20), { ...key, signal: big.signal });
  setTimeout(() => big.abort(), 1);
  await assert.rejects(sealing, { name: "AbortError" });
  assert.throws(() => new quorin.OpenStream({ ...key, signal: big.signal }), { name: "AbortError" });
  const late = new AbortController();
  const stream = quorin.open(quorin.seal(streamOf(new Uint8Array(2 ** 24), [65536]), { ...key, signal: late.signal }), key);
  setTimeout(() => late.abort(), 1);
  await assert.rejects(collect(stream), { name: "AbortError" });
  assert.deepEqual(await quorin.open(await quorin.seal("after", key), key), new TextEncoder().encode("after"));
});

test("5,000 cancelled streams give their memory back: the next seal works",
  { skip: !isNode && "run in Node, to keep the browser suite short" }, async () => {
  const key = new Uint8Array(32).fill(4);
  const sealed = await quorin.seal(new Uint8Array(300000), { keyFile: key });
  for (let i = 0; i < 5000; ++i) {
    const reader = quorin.open(new Blob([sealed]).stream(), { keyFile: key }).getReader();
    await reader.read();
    await reader.cancel();
    if (i % 2 === 0) {  // and a source that fails half-way
      const failing = new ReadableStream({ pull(c) { c.enqueue(sealed.subarray(0, 1000)); c.error(new Error("gone")); } });
      await assert.rejects(collect(quorin.open(failing, { keyFile: key })), /gone/);
    }
  }
  const sealedAgain = await quorin.seal(new Uint8Array(100), { keyFile: key });
  assert.deepEqual(await quorin.open(sealedAgain, { keyFile: key }), new Uint8Array(100));
});

test("streams seal and open in any pieces, the known-answer files too", async () => {
  const key = { keyFile: new Uint8Array(32).fill(5) };
  const plain = Uint8Array.from({ length: 3 * 65536 + 1000 }, (_, i) => (i * 7) % 256);
  for (const sizes of [[1, 0, 4095], [65536], [3 * 65536 + 1000], [2 ** 20 + 5]]) {
    const sealed = await collect(quorin.seal(streamOf(plain, sizes), { mode: "ofb", ...key }));
    assert.equal(sealed.length, (await quorin.seal(plain, key)).length);
    assert.deepEqual(await quorin.open(sealed, key), plain);
    assert.deepEqual(await collect(quorin.open(streamOf(sealed, [...sizes].reverse()), key)), plain);
  }
  for (const [name, kind] of [["sealed-passphrase.qsl", "passphrase"], ["sealed-v2-three.qsl", "identity"]])
    assert.deepEqual(await collect(quorin.open(streamOf(await data(name), [13]), SECRETS[kind])), PLAIN, name);
});

test("a stream releases the verified chunks, then errors", async () => {
  const key = { keyFile: new Uint8Array(32).fill(6) };
  const plain = new Uint8Array(10 * 65536).fill(1);
  const sealed = await quorin.seal(plain, key);
  const header = sealed.length - plain.length - 16 - 11 * 16;
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
});

test("streams keep memory constant", { skip: !isNode && "the browser reports no process memory" }, async () => {
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
