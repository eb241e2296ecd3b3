// The JavaScript examples of the documents, run as written: each block as a
// module of its own that takes the package by name, with the names it leaves
// to the reader (a key, the data, a fetched file, a destination) defined
// before it, placeholders given real values, and what it must have done
// checked after it.
import { test } from "node:test";
import assert from "node:assert/strict";
import { execFile } from "node:child_process";
import { mkdtemp, mkdir, readFile, rm, symlink, writeFile } from "node:fs/promises";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { fileURLToPath } from "node:url";
import { promisify } from "node:util";
import * as quorin from "../index.js";

const PACKAGE = fileURLToPath(new URL("..", import.meta.url));
const KEY = `const key = new TextEncoder().encode("a 16-byte secret");
const iv = new Uint8Array(16);`;
const REPORT = "const report = new Uint8Array(200000).map((_, i) => (i * 7) & 255);";
const COLLECT = `const received = [];
const destination = new WritableStream({ write(chunk) { received.push(chunk); } });`;
const SAME = `if (Buffer.compare(Buffer.concat(received), report) !== 0) throw new Error("not opened");`;

// Each document's blocks in order: what comes before and after each.
const DOCUMENTS = {
  "docs/js.md": [
    {
      before: `${KEY}\nconst bytes = new TextEncoder().encode("meet at noon\\n");`,
      after: `if (new TextDecoder().decode(plain) !== "meet at noon\\n") throw new Error("not opened");
q.loadIV(iv);
if (new TextDecoder().decode(q.decryptString(text)) !== "attack at dawn") throw new Error("not decrypted");`,
    },
    {
      before: `import { open, seal as sealReport } from "quorin";
const keyFile = crypto.getRandomValues(new Uint8Array(32));
${REPORT}
const sealedReport = await sealReport(report, { keyFile });
globalThis.fetch = async () => new Response(sealedReport);
${COLLECT}`,
      after: SAME,
    },
  ],
  "bindings/js/README.md": [
    { before: `${KEY}\nconst data = new TextEncoder().encode("meet at noon\\n");`, after: "" },
    {
      commonjs: true,
      before: `const { readFileSync } = require("node:fs");
const keyFile = readFileSync("key.bin");
const sealed = readFileSync("sealed.bin");`,
      after: "",
    },
    {
      before: `import { generateIdentity } from "quorin";
const { identity, recipient } = generateIdentity();
${REPORT}
const file = new Blob([report]);
const sealedParts = [];
const out = new WritableStream({ write(chunk) { sealedParts.push(chunk); } });
const response = { get body() { return new Blob(sealedParts).stream(); } };`,
      placeholders: { '"quorin1..."': "recipient" },
      after: `const received = [new Uint8Array(await new Response(plain).arrayBuffer())];\n${SAME}`,
    },
  ],
};

function blocks(markdown) {
  return [...markdown.matchAll(/^```js\n([\s\S]*?)^```$/gm)].map((m) => m[1]);
}

for (const [document, surroundings] of Object.entries(DOCUMENTS)) {
  test(`every JavaScript example of ${document} runs as written`, async () => {
    const found = blocks(await readFile(new URL(`../../../${document}`, import.meta.url), "utf8"));
    assert.equal(found.length, surroundings.length, "an example was added or removed: give it surroundings");
    const folder = await mkdtemp(join(tmpdir(), "quorin-js-docs-"));
    try {
      await mkdir(join(folder, "node_modules"));
      await symlink(PACKAGE, join(folder, "node_modules", "quorin"), "dir");
      const keyFile = crypto.getRandomValues(new Uint8Array(32));
      await writeFile(join(folder, "key.bin"), keyFile);
      await writeFile(join(folder, "sealed.bin"), await quorin.seal(new Uint8Array(5), { keyFile }));
      for (const [i, code] of found.entries()) {
        const { before, after, placeholders = {}, commonjs = false } = surroundings[i];
        let body = code;
        for (const [placeholder, value] of Object.entries(placeholders)) body = body.replaceAll(placeholder, value);
        const file = join(folder, `example${i + 1}.${commonjs ? "cjs" : "mjs"}`);
        await writeFile(file, `${before}\n${body}\n${after}\n`);
        await promisify(execFile)(process.execPath, [file], { cwd: folder });
      }
    } finally {
      await rm(folder, { recursive: true, force: true });
    }
  });
}
