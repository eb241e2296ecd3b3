// Finding, compiling and instantiating the WebAssembly module, in Node and
// in browsers: nothing is fetched but the module beside the package's code.
// The module is compiled once; each of the package's threads instantiates
// the compiled module it is sent.
export const isNode = typeof process === "object" && !!process.versions?.node;

// The smallest module with one SIMD instruction (i32x4.splat of 0): engines
// without WebAssembly SIMD refuse it.
const SIMD_PROBE = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0,
  10, 8, 1, 6, 0, 65, 0, 253, 17, 11]);

/** Which module this engine runs: "simd128", or "portable" where WebAssembly
 * has no SIMD, or where QUORIN_CPU_DISABLE names simd128 (as the native
 * library's kernels are taken away, so that the portable one is tested). */
export function kernelChoice() {
  const disabled = isNode && (process.env.QUORIN_CPU_DISABLE ?? "").includes("simd128");
  return !disabled && WebAssembly.validate(SIMD_PROBE) ? "simd128" : "portable";
}

async function moduleBytes(name) {
  const url = new URL(`../dist/${name}`, import.meta.url);
  if (isNode && url.protocol === "file:") {
    const { readFile } = await import("node:fs/promises");
    return readFile(url);
  }
  const response = await fetch(url);
  if (!response.ok) throw new Error(`cannot load ${url}: ${response.status}`);
  return response.arrayBuffer();
}

const NAMES = { simd128: "quorin", portable: "quorin-portable" };

/** The compiled module for this engine, and which it is. */
export async function compile() {
  const kernel = kernelChoice();
  return { kernel, compiled: await WebAssembly.compile(await moduleBytes(`${NAMES[kernel]}.wasm`)) };
}

/** An instance of a compiled module with its own emscripten runtime around
 * it, and libsodium's random source (the Web Crypto API, which Node 18 has
 * as a module only). */
export async function instantiate({ kernel, compiled }) {
  const { default: createQuorinModule } = await import(`../dist/${NAMES[kernel]}.mjs`);
  const webCrypto = globalThis.crypto ?? (await import("node:crypto")).webcrypto;
  const word = new Uint32Array(1);
  return createQuorinModule({
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(compiled, imports).then((instance) => receive(instance, compiled));
      return {};
    },
    getRandomValue: () => webCrypto.getRandomValues(word)[0],
  });
}
