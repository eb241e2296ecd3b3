// What the package's tests need from their surroundings, the same in Node
// and in the browser (where test/browser/run.mjs serves the repository):
// the project's data files, folder listings, SHA-256, and streams in pieces.
export const isNode = typeof process === "object" && !!process.versions?.node;

const ROOT = new URL("../../../", import.meta.url);

/** The bytes of a file of the repository, by its path there. */
export async function read(path) {
  const url = new URL(path, ROOT);
  if (isNode) {
    const { readFile } = await import("node:fs/promises");
    return new Uint8Array(await readFile(url));
  }
  const response = await fetch(url);
  if (!response.ok) throw new Error(`${path}: ${response.status}`);
  return new Uint8Array(await response.arrayBuffer());
}

/** The names in a folder of the repository. */
export async function list(path) {
  if (isNode) {
    const { readdir } = await import("node:fs/promises");
    return readdir(new URL(path, ROOT));
  }
  return (await fetch(new URL(`${path}?list`, ROOT))).json();
}

export async function sha256(bytes) {
  const digest = new Uint8Array(await crypto.subtle.digest("SHA-256", bytes));
  return Array.from(digest, (b) => b.toString(16).padStart(2, "0")).join("");
}

/** A ReadableStream of data in pieces of the given sizes (cycled). */
export function streamOf(data, sizes) {
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

/** Everything a stream gives, in one array. */
export async function collect(stream) {
  const parts = [];
  for await (const part of stream) parts.push(part);
  const out = new Uint8Array(parts.reduce((n, p) => n + p.length, 0));
  let at = 0;
  for (const p of parts) {
    out.set(p, at);
    at += p.length;
  }
  return out;
}
