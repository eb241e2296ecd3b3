// Sealing and opening 256 MiB in Node through the npm package (WebAssembly:
// whole Uint8Arrays, and Web Streams of 1 MiB pieces; both share a file's
// chunks among the package's threads, one a core), beside the native
// `quorin seal`/`open` with the same mode and a key file, in one run: MiB/s
// and the ratios. Run it under `taskset -c 0` for the one-core figures
// (the package then has one thread, the tool one core). Last, the longest
// pause of the event loop while a passphrase is hashed at the default cost.
// Usage: node bench/js_sealed.mjs path/to/quorin [mode]
import { execFileSync } from "node:child_process";
import { existsSync, mkdtempSync, writeFileSync, rmSync } from "node:fs";
import { availableParallelism, tmpdir } from "node:os";
import { join } from "node:path";
import { randomFillSync } from "node:crypto";
import * as quorin from "../bindings/js/index.js";

const [tool, mode = "cbc"] = process.argv.slice(2);
const SIZE = 256 * 2 ** 20;
const cores = Math.min(availableParallelism(), 4);
// The native tool runs twice: with its files in memory (/dev/shm), as the
// package's arrays are, which compares the computation alone; and with them
// on the disk, as the tool is mostly used (its figures vary with the disk's
// writeback).
const inMemory = mkdtempSync(join(existsSync("/dev/shm") ? "/dev/shm" : tmpdir(), "quorin-js-bench-"));
const onDisk = mkdtempSync(join(tmpdir(), "quorin-js-bench-"));
const dir = inMemory;
const at = (n, where = dir) => join(where, n);
const data = new Uint8Array(SIZE);
for (let i = 0; i < SIZE; i += 65536) randomFillSync(data, i, 65536);
const key = new Uint8Array(32).fill(1);
for (const where of [inMemory, onDisk]) {
  writeFileSync(at("plain", where), data);
  writeFileSync(at("key", where), key);
}

// Each measurement is taken ROUNDS times, the kinds in turn (so that a slow
// spell of a shared machine falls on all of them), and the fastest kept.
const ROUNDS = 5;
const measured = new Map();
async function best(name, work) {
  const start = performance.now();
  await work();
  const seconds = (performance.now() - start) / 1000;
  measured.set(name, Math.min(measured.get(name) ?? Infinity, seconds));
}
const mibs = (s) => SIZE / 2 ** 20 / s;
const pieces = (bytes) => {
  let at = 0;
  return new ReadableStream({
    pull(c) {
      if (at >= bytes.length) return c.close();
      c.enqueue(bytes.subarray(at, at + 2 ** 20));
      at += 2 ** 20;
    },
  });
};
const drain = async (stream) => { for await (const _ of stream); };

let sealed = await quorin.seal(data, { keyFile: key, mode });
const native = (args) => () => execFileSync(tool, args, { stdio: "ignore" });
const work = {
  "seal, whole array": async () => { sealed = await quorin.seal(data, { keyFile: key, mode }); },
  "open, whole array": () => quorin.open(sealed, { keyFile: key }),
  "seal, stream": () => drain(quorin.seal(pieces(data), { keyFile: key, mode })),
  "open, stream": () => drain(quorin.open(pieces(sealed), { keyFile: key })),
  "seal, native": native(["seal", "--key-file", at("key"), "-m", mode, "-f", "-o", at("sealed"), at("plain")]),
  "open, native": native(["open", "--key-file", at("key"), "-f", "-o", at("opened"), at("sealed")]),
  "seal, native on disk": native(["seal", "--key-file", at("key", onDisk), "-m", mode, "-f", "-o",
    at("sealed", onDisk), at("plain", onDisk)]),
  "open, native on disk": native(["open", "--key-file", at("key", onDisk), "-f", "-o", at("opened", onDisk),
    at("sealed", onDisk)]),
};
for (let round = 0; round < ROUNDS; ++round)
  for (const [name, f] of Object.entries(work)) await best(name, f);
const [nativeSeal, nativeOpen] = [measured.get("seal, native"), measured.get("open, native")];
const [diskSeal, diskOpen] = [measured.get("seal, native on disk"), measured.get("open, native on disk")];
for (const where of [inMemory, onDisk]) rmSync(where, { recursive: true, force: true });

console.log(`256 MiB, ${mode}, key file, ${cores} core(s); native quorin seal ${mibs(nativeSeal).toFixed(0)} ` +
  `MiB/s, open ${mibs(nativeOpen).toFixed(0)} MiB/s (files in memory); ${mibs(diskSeal).toFixed(0)} and ` +
  `${mibs(diskOpen).toFixed(0)} MiB/s (on disk)`);
for (const [name, seconds] of measured) {
  if (name.includes("native")) continue;
  const [memory, disk] = name.startsWith("seal") ? [nativeSeal, diskSeal] : [nativeOpen, diskOpen];
  console.log(`${name.padEnd(18)} WebAssembly ${mibs(seconds).toFixed(0).padStart(4)} MiB/s: ` +
    `${(100 * memory / seconds).toFixed(0)}% of native in memory, ${(100 * disk / seconds).toFixed(0)}% on disk`);
}

// The event loop while a passphrase is hashed (Argon2id at the default
// cost, 256 MiB): a 1 ms timer, and the longest gap between its ticks.
let longest = 0, last = performance.now();
const timer = setInterval(() => {
  const now = performance.now();
  longest = Math.max(longest, now - last);
  last = now;
}, 1);
const hashing = performance.now();
await quorin.seal("x", { passphrase: "correct horse battery staple" });
clearInterval(timer);
console.log(`passphrase seal at the default cost: ${((performance.now() - hashing) / 1000).toFixed(1)} s, ` +
  `longest event-loop gap ${longest.toFixed(1)} ms`);
