// The page's worker: seals or opens one file at a time, streaming it from
// the disk through the WebAssembly module and out to the page piece by
// piece, which writes each to the file being saved (or a Blob), so that
// memory stays small whatever the file's size. The bundle puts the package's code
// before this, with `quorin` bound to it and `started` settled once the
// module is ready.

// Pieces of output sent to the page and not yet written there: the work
// waits beyond this, so that a slow disk holds the worker back rather than
// memory filling up.
const IN_FLIGHT = 8;
let inFlight = 0, written = null;

function acknowledged() {
  inFlight--;
  if (written) { written(); written = null; }
}

async function send(piece) {
  while (inFlight >= IN_FLIGHT) await new Promise((resolve) => { written = resolve; });
  inFlight++;
  postMessage({ piece: piece.buffer }, [piece.buffer]);
}

// Several lines are an identity or recipients file as pasted ('#' comments
// too), which the library reads as the tool does; one line may hold several.
const keyList = (text) => (text.trim().includes("\n") ? [text] : text.split(/\s+/).filter(Boolean));

function secretOptions(secret) {
  switch (secret.kind) {
    case "passphrase": return { passphrase: secret.passphrase };
    case "keyFile": return { keyFile: new Uint8Array(secret.keyFile) };
    case "identity": return { identities: keyList(secret.text) };
    case "recipients": return { recipients: keyList(secret.text) };
  }
  throw new RangeError("choose a passphrase, a key file, an identity or recipients");
}

// What went wrong, in words for the person at the page.
function explain(e) {
  if (e instanceof quorin.AuthenticationError)
    return "Wrong passphrase, key file or identity, or the file was altered. Nothing was saved.";
  if (e instanceof quorin.TruncatedError)
    return "The sealed file is truncated: it ends early (an incomplete download or copy?). Nothing was saved.";
  if (e instanceof quorin.NotSealedError) return "This is not a sealed file. Nothing was saved.";
  if (e instanceof quorin.BadArmourError)
    return "This sealed text was cut short or altered (" + e.message + "). Nothing was saved.";
  if (e instanceof quorin.UnsupportedVersionError)
    return "This file was sealed by a newer version; open it with a newer version of this page.";
  if (e instanceof quorin.CostLimitError)
    return "This file asks for more passphrase work than this page allows: " + e.message;
  if (e instanceof quorin.QuorinError || e instanceof RangeError || e instanceof TypeError) return e.message;
  return "Something went wrong: " + (e?.message ?? e);
}

async function run({ action, file, secret, mode, keySize }) {
  const options = secretOptions(secret);
  // Argon2id takes seconds at the default cost before the first byte moves.
  if (secret.kind === "passphrase")
    postMessage({ step: "Hashing the passphrase (this takes a few seconds)…" });
  // This worker is the page's one thread for the work, so the package's
  // engine runs here as on the package's own threads.
  const sealing = action === "seal";
  const checked = quorin.checkedOptions(sealing, sealing ? { ...options, mode, keySize } : options);
  const through = new TransformStream(quorin.transformerOf(new quorin.Pushed(sealing, checked)));
  let read = 0, lastReport = 0;
  const counting = new TransformStream({
    transform(chunk, controller) {
      read += chunk.length;
      const now = Date.now();
      if (now - lastReport > 100) {
        lastReport = now;
        postMessage({ progress: file.size ? read / file.size : 1 });
      }
      controller.enqueue(chunk);
    },
  });
  let total = 0;
  for await (const piece of file.stream().pipeThrough(counting).pipeThrough(through)) {
    total += piece.length;
    await send(piece);  // a copy of its own out of the module's memory, so it is moved, not copied
  }
  postMessage({ progress: 1 });
  return total;
}

onmessage = async ({ data }) => {
  if (data.ack) return acknowledged();
  try {
    await started;
    postMessage({ done: await run(data) });
  } catch (e) {
    postMessage({ error: explain(e) });
  }
};
started.then(() => postMessage({ ready: quorin.version() }),
  (e) => postMessage({ error: "This browser could not start the WebAssembly module: " + (e?.message ?? e) }));
