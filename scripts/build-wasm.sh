#!/bin/sh
# Builds the WebAssembly module of the npm package (bindings/js/dist) with
# Debian's emscripten, and runs the package's tests:
#   scripts/build-wasm.sh
# Needs what `scripts/install-deps.sh --wasm` installs. Nothing is
# downloaded but Debian's source package of libsodium, which emcc compiles
# once into build/wasm-deps/prefix; then `cmake --preset wasm` builds the
# cipher, the component, the sealing library and the C interface into one
# module and the page's worker bundle, and CTest runs the package's tests
# with Node's test runner (the interop ones against build/ci's or
# build/default's native tool, if built) and, with Chromium installed, the
# page's test in headless Chromium.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
deps="$root/build/wasm-deps"
prefix="$deps/prefix"
# Debian's emscripten finds its JavaScript parser where Debian's node looks;
# a node from elsewhere needs telling.
export NODE_PATH=/usr/share/nodejs

if [ ! -f "$prefix/lib/libsodium.a" ]; then
  rm -rf "$deps"
  "$root/scripts/fetch-debian-source.sh" libsodium "$deps"
  # As libsodium's own emscripten build: cross-compiled, no threads, no
  # assembly, no stack protector; the whole library (the minimal one lacks
  # HMAC-SHA-256 and Poly1305).
  echo "build-wasm: libsodium from Debian's source package, with emcc"
  (cd "$deps/libsodium" &&
   emconfigure ./configure --quiet --host=wasm32-unknown-emscripten --disable-shared \
     --enable-static --without-pthreads --disable-ssp --disable-asm --disable-pie \
     --prefix="$prefix" CFLAGS="-O3" >"$deps/configure.log" 2>&1 &&
   emmake make -j"$(nproc)" install >"$deps/make.log" 2>&1) ||
    { tail -n 30 "$deps"/configure.log "$deps"/make.log 2>/dev/null; echo "build-wasm: libsodium did not build" >&2; exit 1; }
fi

cd "$root"
# The interop tests run against a native build's tool where there is one.
tool=""
for t in build/ci/bin/quorin build/default/bin/quorin; do [ -x "$t" ] && { tool="$root/$t"; break; }; done
cmake --preset wasm -Wno-dev -DQUORIN_NATIVE_TOOL="$tool" >/dev/null
cmake --build build/wasm --target quorin_wasm quorin_web
ls -l bindings/js/dist/quorin.wasm bindings/js/dist/quorin.mjs web/dist/quorin-worker.js
# The page's test drives Debian's Chromium through puppeteer-core, from the
# npm registry at the versions of the committed lock file.
if [ -x /usr/bin/chromium ]; then
  npm ci --prefix web/test --no-audit --no-fund --loglevel=error
fi
# TypeScript, for the check of the package's declarations.
npm ci --prefix bindings/js --no-audit --no-fund --loglevel=error
ctest --test-dir build/wasm --output-on-failure
