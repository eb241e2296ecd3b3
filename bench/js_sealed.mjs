// Sealing and opening 256 MiB in Node through the npm package (WebAssembly,
// whole Uint8Arrays in memory), beside the native `quorin seal`/`open` with
// the same mode and a key file, in one run: MiB/s and the ratios. The best
// of 3 each. Usage: node bench/js_sealed.mjs path/to/quorin [mode]
import { execFileSync } from "node:child_process";
import { mkdtempSync, writeFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { randomFillSync } from "node:crypto";
import * as quorin from "../bindings/js/index.js";

const [tool, mode = "cbc"] = process.argv.slice(2);
const SIZE = 256 * 2 ** 20;
const dir = mkdtempSync(join(tmpdir(), "quorin-js-bench-"));
const at = (n) => join(dir, n);
const data = new Uint8Array(SIZE);
for (let i = 0; i < SIZE; i += 65536) randomFillSync(data, i, 65536);
const key = new Uint8Array(32).fill(1);
writeFileSync(at("plain"), data);
writeFileSync(at("key"), key);

function best(work) {
  let fastest = Infinity;
  for (let i = 0; i < 3; ++i) {
    const start = performance.now();
    work();
    fastest = Math.min(fastest, (performance.now() - start) / 1000);
  }
  return fastest;
}
const mibs = (s) => SIZE / 2 ** 20 / s;

let sealed;
const jsSeal = best(() => { sealed = quorin.seal(data, { keyFile: key, mode }); });
const jsOpen = best(() => { quorin.open(sealed, { keyFile: key }); });
const native = (args) => best(() => execFileSync(tool, args, { stdio: "ignore" }));
const nativeSeal = native(["seal", "--key-file", at("key"), "-m", mode, "-f", "-o", at("sealed"), at("plain")]);
const nativeOpen = native(["open", "--key-file", at("key"), "-f", "-o", at("opened"), at("sealed")]);
rmSync(dir, { recursive: true, force: true });

console.log(`256 MiB, ${mode}, key file`);
console.log(`seal: WebAssembly ${mibs(jsSeal).toFixed(0)} MiB/s, native ${mibs(nativeSeal).toFixed(0)} MiB/s: ${(100 * nativeSeal / jsSeal).toFixed(0)}% of native`);
console.log(`open: WebAssembly ${mibs(jsOpen).toFixed(0)} MiB/s, native ${mibs(nativeOpen).toFixed(0)} MiB/s: ${(100 * nativeOpen / jsOpen).toFixed(0)}% of native`);
