// The package from CommonJS: require() gives it at once, its functions
// once `ready` has settled; a sealed file opens.
const { test } = require("node:test");
const assert = require("node:assert/strict");
const { readFileSync } = require("node:fs");
const { join } = require("node:path");

const data = (name) => new Uint8Array(readFileSync(join(__dirname, "../../../tests/data", name)));

test("require('quorin') opens a sealed file once ready", async () => {
  const quorin = require("quorin");
  assert.equal(typeof quorin.ready?.then, "function");
  await quorin.ready;
  const plain = await quorin.open(data("sealed-v2-keyfile.qsl"), { keyFile: data("sealed-kat.key") });
  assert.deepEqual(plain, data("sealed-kat.txt"));
  await assert.rejects(quorin.open(data("sealed-v2-keyfile.qsl"), { keyFile: new Uint8Array(32) }),
    (e) => e instanceof quorin.AuthenticationError && e.code === "QUORIN_AUTHENTICATION");
});
