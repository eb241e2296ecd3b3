// Interop with the native build, both ways: files sealed by `quorin seal`
// open here, files sealed here open with `quorin open`, and the component's
// raw files (quorin encrypt) decrypt here. Needs $QUORIN_TOOL, the native tool.
import { test } from "node:test";
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, writeFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import * as quorin from "../index.js";

const TOOL = process.env.QUORIN_TOOL;
const skip = TOOL ? false : "QUORIN_TOOL (the native quorin tool) is not set";

async function inFolder(work) {
  const dir = mkdtempSync(join(tmpdir(), "quorin-js-"));
  try {
    return await work((name) => join(dir, name));
  } finally {
    rmSync(dir, { recursive: true, force: true });
  }
}

// 9 MiB and more: the package shares the file's chunks among its threads,
// for whole arrays and for streams alike.
test("sealed files travel both ways between the tool and the package", { skip }, () => inFolder(async (at) => {
  const key = new Uint8Array(32).fill(5);
  const me = quorin.generateIdentity();
  writeFileSync(at("key"), key);
  writeFileSync(at("identity"), me.identity + "\n");
  const streamOf = (bytes) => new Blob([bytes]).stream();
  const collected = async (stream) => new Uint8Array(await new Response(stream).arrayBuffer());
  for (const [size, mode] of [[300000, "cbc"], [300000, "cfb"], [300000, "ofb"], [9 * 2 ** 20 + 12345, "cbc"],
    [9 * 2 ** 20, "ofb"]]) {
    const data = Uint8Array.from({ length: size }, (_, i) => (i * 13) % 256);
    writeFileSync(at("plain"), data);
    execFileSync(TOOL, ["seal", "--key-file", at("key"), "-r", String(me.recipient), "-m", mode, "-s", "192",
      "-f", "-o", at("by-tool"), at("plain")]);
    const byTool = new Uint8Array(readFileSync(at("by-tool")));
    assert.deepEqual(await quorin.open(byTool, { keyFile: key }), data);
    assert.deepEqual(await quorin.open(byTool, { identities: [me.identity] }), data);
    assert.deepEqual(await collected(quorin.open(streamOf(byTool), { keyFile: key })), data);

    const opened = (file, args, env = process.env) =>
      new Uint8Array(execFileSync(TOOL, ["open", ...args, "-o", "-", file], { env, maxBuffer: 1 << 25 }));
    writeFileSync(at("by-js"), await quorin.seal(data, { passphrase: "from node", cost: "interactive", mode }));
    assert.deepEqual(opened(at("by-js"), ["--passphrase-env", "QUORIN_PASS"], { ...process.env, QUORIN_PASS: "from node" }), data);
    writeFileSync(at("by-js"), await quorin.seal(data, { recipients: [me.recipient], mode }));
    assert.deepEqual(opened(at("by-js"), ["-i", at("identity")]), data);
    writeFileSync(at("by-js"), await collected(quorin.seal(streamOf(data), { keyFile: key, mode })));
    assert.deepEqual(opened(at("by-js"), ["--key-file", at("key")]), data);
  }
}));

test("armour, a passphrase with a 300-byte key file, both ways", { skip }, () => inFolder(async (at) => {
  const data = Uint8Array.from({ length: 100000 }, (_, i) => (i * 7) % 256);
  const key = Uint8Array.from({ length: 300 }, (_, i) => i % 251);
  writeFileSync(at("plain"), data);
  writeFileSync(at("key"), key);
  execFileSync(TOOL, ["seal", "-a", "--key-file", at("key"), "-f", "-o", at("by-tool.txt"), at("plain")]);
  assert.deepEqual(await quorin.open(readFileSync(at("by-tool.txt"), "utf8"), { keyFile: key }), data);
  writeFileSync(at("by-js.txt"),
    await quorin.seal(data, { passphrase: "from node", keyFile: key, cost: "interactive", armour: true }));
  for (const how of [["--key-file", at("key")], ["--passphrase-env", "QUORIN_PASS"]]) {
    const out = execFileSync(TOOL, ["open", ...how, "-o", "-", at("by-js.txt")],
      { env: { ...process.env, QUORIN_PASS: "from node" }, maxBuffer: 1 << 24 });
    assert.deepEqual(new Uint8Array(out), data);
  }
}));

test("the component's raw format matches the tool's byte for byte", { skip }, () => inFolder(async (at) => {
  const data = new TextEncoder().encode("the component's own format, ".repeat(300));
  const keyHex = "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff";
  const ivHex = "0f0e0d0c0b0a09080706050403020100";
  const hex = (s) => Uint8Array.from(s.match(/../g), (b) => parseInt(b, 16));
  writeFileSync(at("plain"), data);
  for (const mode of ["ecb", "cbc", "cfb", "ofb"]) {
    execFileSync(TOOL, ["encrypt", "-m", mode, "-s", "256", `--key-hex=${keyHex}`, `--iv-hex=${ivHex}`,
      "-f", "-o", at("raw"), at("plain")]);
    const q = new quorin.Quorin({ mode, keySize: 256, stringMode: "normal" });
    q.initialise(hex(keyHex));
    q.loadIV(hex(ivHex));
    assert.deepEqual(q.encryptString(data), new Uint8Array(readFileSync(at("raw"))), mode);
    q.loadIV(hex(ivHex));
    assert.deepEqual(q.decryptString(new Uint8Array(readFileSync(at("raw")))), data);
  }
}));
