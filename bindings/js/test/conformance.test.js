// The sealed format's conformance vectors through the package: each opened
// whole and as a stream in pieces of 7 bytes, with the outcome its header
// expects.
import { test } from "node:test";
import assert from "node:assert/strict";
import * as quorin from "../index.js";
import { collect, list, read, sha256 } from "./support.js";

const FOLDER = "tests/vectors/sealed/";
const KINDS = [
  [quorin.NotSealedError, "not-sealed"], [quorin.BadArmourError, "bad-armour"],
  [quorin.UnsupportedVersionError, "unsupported-version"], [quorin.CostLimitError, "cost-limit"],
  [quorin.BadHeaderError, "bad-header"], [quorin.SecretKindError, "secret-kind"],
  [quorin.AuthenticationError, "authentication"], [quorin.TruncatedError, "truncated"],
];
const names = (await list(FOLDER)).filter((n) => n.endsWith(".qsv")).sort();
const fromHex = (s) => Uint8Array.from(s.match(/../g) ?? [], (b) => parseInt(b, 16));

async function load(name) {
  const all = await read(FOLDER + name);
  let blank = 0;
  while (!(all[blank] === 10 && all[blank + 1] === 10)) ++blank;
  const fields = {}, options = { identities: [], costLimit: [4, 2 ** 30] };
  for (const line of new TextDecoder().decode(all.subarray(0, blank)).split("\n").slice(1)) {
    const [key, value] = [line.slice(0, line.indexOf(": ")), line.slice(line.indexOf(": ") + 2)];
    fields[key] = value;
    if (key === "passphrase") options.passphrase = value;
    if (key === "passphrase-hex") options.passphrase = fromHex(value);
    if (key === "key-file") options.keyFile = fromHex(value);
    if (key === "identity") options.identities.push(value);
    if (key === "max-passes") options.costLimit[0] = Number(value);
    if (key === "max-memory-mib") options.costLimit[1] = Number(value) * 2 ** 20;
  }
  return { fields, options, data: all.subarray(blank + 2) };
}

async function outcome(work) {
  try {
    return ["success", await work()];
  } catch (e) {
    const kind = KINDS.find(([cls]) => e instanceof cls);
    if (!kind) throw e;
    return [kind[1], null];
  }
}

function pieces(data) {
  let at = 0;
  return new ReadableStream({
    pull(controller) {
      if (at >= data.length) return controller.close();
      controller.enqueue(data.slice(at, at + 7));
      at += 7;
    },
  });
}

test("there are enough vectors", () => assert.ok(names.length >= 150));

for (const name of names) {
  test(name, async () => {
    const { fields, options, data } = await load(name);
    const forms = {
      whole: () => quorin.open(data, options),
      stream: () => collect(quorin.open(pieces(data), options)),
    };
    for (const [form, work] of Object.entries(forms)) {
      const [kind, plain] = await outcome(work);
      assert.equal(kind, fields.expect, `${fields.description} (${form})`);
      if (kind === "success")
        assert.equal(await sha256(plain), fields["plaintext-sha256"], form);
    }
  });
}
