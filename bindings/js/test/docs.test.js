// The examples of docs/js.md, run as written: each block as a module of its
// own that imports the package by name, with the names it leaves to the
// reader (a key, the data, a fetched file, a destination) defined before it
// and what it must have done checked after it.
import { test } from "node:test";
import assert from "node:assert/strict";
import { execFile } from "node:child_process";
import { mkdtemp, mkdir, readFile, rm, symlink, writeFile } from "node:fs/promises";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { fileURLToPath } from "node:url";
import { promisify } from "node:util";

const PACKAGE = fileURLToPath(new URL("..", import.meta.url));
const DOCUMENT = new URL("../../../docs/js.md", import.meta.url);

// Before and after each block, in the order of the document.
const SURROUNDINGS = [
  {
    before: `const key = new TextEncoder().encode("a 16-byte secret");
const iv = new Uint8Array(16);
const bytes = new TextEncoder().encode("meet at noon\\n");`,
    after: `if (new TextDecoder().decode(plain) !== "meet at noon\\n") throw new Error("not opened");
q.loadIV(iv);
if (new TextDecoder().decode(q.decryptString(text)) !== "attack at dawn") throw new Error("not decrypted");`,
  },
  {
    before: `import { open, seal as sealReport } from "quorin";
const keyFile = crypto.getRandomValues(new Uint8Array(32));
const report = new Uint8Array(200000).map((_, i) => (i * 7) & 255);
const sealedReport = await sealReport(report, { keyFile });
globalThis.fetch = async () => new Response(sealedReport);
const received = [];
const destination = new WritableStream({ write(chunk) { received.push(chunk); } });`,
    after: `if (Buffer.compare(Buffer.concat(received), report) !== 0) throw new Error("not opened");`,
  },
];

function blocks(markdown) {
  return [...markdown.matchAll(/^```js\n([\s\S]*?)^```$/gm)].map((m) => m[1]);
}

test("every JavaScript example of docs/js.md runs as written", async () => {
  const found = blocks(await readFile(DOCUMENT, "utf8"));
  assert.equal(found.length, SURROUNDINGS.length, "an example was added or removed: give it surroundings");
  const folder = await mkdtemp(join(tmpdir(), "quorin-js-docs-"));
  try {
    await mkdir(join(folder, "node_modules"));
    await symlink(PACKAGE, join(folder, "node_modules", "quorin"), "dir");
    for (const [i, code] of found.entries()) {
      const file = join(folder, `example${i + 1}.mjs`);
      const { before, after } = SURROUNDINGS[i];
      await writeFile(file, `${before}\n${code}\n${after}\n`);
      await promisify(execFile)(process.execPath, [file], { cwd: folder });
    }
  } finally {
    await rm(folder, { recursive: true, force: true });
  }
});
