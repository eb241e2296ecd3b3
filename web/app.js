// The page: gathers the file, the secret and the options, runs the work in
// a worker (built from the bundle's source, so that the page also works
// from file://), shows progress, and writes the result as it comes: to a
// file the person chose first where the browser can (File System Access;
// written aside and put in place only when complete), else into a Blob
// offered for saving at the end. Nothing is sent anywhere or kept.
"use strict";

const $ = (id) => document.getElementById(id);
const form = $("work");
const ui = {
  file: $("file"), kind: $("secret-kind"), passphrase: $("passphrase"), again: $("passphrase-again"),
  keyFile: $("key-file"), identity: $("identity"), recipients: $("recipients"),
  mode: $("mode"), keySize: $("key-size"), start: $("start"), cancel: $("cancel"),
  progress: $("progress"), status: $("status"), error: $("error"), result: $("result"),
  download: $("download"), drop: $("drop"), direct: $("direct"), directBox: $("direct-box"),
};
// running: the action under way, as chosen when it started (the form is
// locked meanwhile, and it is what the end reports).
let worker = null, busy = false, resultUrl = null, sink = null, running = null;

// Where the output goes: a file chosen beforehand, written as it comes...
class FileSink {
  constructor(writable, name) { this.writable = writable; this.name = name; }
  write(bytes) { return this.writable.write(bytes); }
  async finish() { await this.writable.close(); }  // the file appears only now
  abort() { this.writable.abort().catch(() => {}); }
}

// ...or a Blob, folded every so often so that the browser may keep it on disk.
class BlobSink {
  constructor(name) { this.name = name; this.parts = []; this.pending = 0; }
  write(bytes) {
    this.parts.push(bytes);
    this.pending += bytes.length;
    if (this.pending >= 32 * 2 ** 20) {
      this.parts = [new Blob(this.parts)];
      this.pending = 0;
    }
  }
  finish() { this.blob = new Blob(this.parts, { type: "application/octet-stream" }); this.parts = []; }
  abort() { this.parts = []; }
}

function action() {
  return form.elements.action.value;
}

// Shows the fields of the chosen action and kind of secret.
function refresh() {
  const a = action();
  ui.start.textContent = a === "seal" ? "Seal" : "Open";
  for (const option of ui.kind.options) {
    const only = option.dataset.for;
    option.hidden = option.disabled = only !== undefined && only !== a;
  }
  if (ui.kind.selectedOptions[0]?.disabled) ui.kind.value = "passphrase";
  for (const el of document.querySelectorAll("[data-only]")) el.hidden = el.dataset.only !== a;
  for (const el of document.querySelectorAll("[data-secret]")) el.hidden = el.dataset.secret !== ui.kind.value;
}

function say(text) {
  ui.status.textContent = text;
}

function fail(text) {
  ui.error.textContent = text;
  ui.error.hidden = false;
  say("");
}

function clearResult() {
  if (resultUrl) URL.revokeObjectURL(resultUrl);
  resultUrl = null;
  ui.result.hidden = true;
  ui.error.hidden = true;
  ui.error.textContent = "";
}

function setBusy(on) {
  busy = on;
  for (const el of form.elements) if (el !== ui.cancel) el.disabled = on;
  ui.cancel.disabled = !on;
  form.setAttribute("aria-busy", String(on));
  if (!on) refresh();  // the options that do not apply stay disabled
}

function startWorker() {
  const source = new Blob([self.QUORIN_WORKER_SOURCE], { type: "text/javascript" });
  const url = URL.createObjectURL(source);
  const w = (worker = new Worker(url, { name: "quorin" }));
  URL.revokeObjectURL(url);
  let writing = Promise.resolve();  // the pieces are written in order, one at a time
  w.onmessage = ({ data }) => {
    if (w !== worker || data.ready) return;  // a cancelled worker's last words
    if (data.progress !== undefined) {
      ui.progress.value = data.progress;
      if (busy && data.progress > 0) say(running === "seal" ? "Sealing…" : "Opening…");
      return;
    }
    if (data.step) return busy && say(data.step);
    if (!busy) return data.error && fail(data.error);  // the module could not start
    const target = sink;
    const failed = (e) => {
      if (w !== worker) return;
      w.terminate();
      startWorker();
      ended(null, "The result could not be written: " + e.message);
    };
    if (data.piece) {
      writing = writing.then(async () => {
        await target.write(new Uint8Array(data.piece));
        w.postMessage({ ack: true });
      }).catch(failed);
      return;
    }
    writing = writing.then(async () => {
      if (data.error) return ended(null, data.error);
      await target.finish();
      ended(data.done);
    }).catch(failed);
  };
  w.onerror = (e) => {
    if (w !== worker) return;
    if (busy) return ended(null, "The worker failed: " + (e.message || "this browser refused to run it"));
    fail("The worker failed: " + (e.message || "this browser refused to run it"));
  };
}

// The work ended: with the output's size, or with a message (and nothing saved).
function ended(size, message) {
  if (!busy) return;
  setBusy(false);
  const done = sink;
  sink = null;
  if (message !== undefined) {
    done.abort();
    return fail(message);
  }
  const verb = running === "seal" ? "Sealed" : "Opened: every part of the file was verified";
  if (done instanceof FileSink) return say(`${verb}, and saved as ${done.name} (${size.toLocaleString()} bytes).`);
  resultUrl = URL.createObjectURL(done.blob);
  ui.download.href = resultUrl;
  ui.download.download = done.name;
  ui.download.textContent = `Save ${done.name} (${size.toLocaleString()} bytes)`;
  ui.result.hidden = false;
  say(verb + ".");
  ui.download.focus();
}

function outputName(name) {
  if (action() === "seal") return name + ".qsl";
  return /\.qsl$/i.test(name) && name.length > 4 ? name.slice(0, -4) : name + ".opened";
}

// The place to write to: asked for now, while the click still counts as the
// person's own gesture.
async function sinkFor(name) {
  if (!ui.direct.checked || typeof window.showSaveFilePicker !== "function") return new BlobSink(name);
  const handle = await window.showSaveFilePicker({ suggestedName: name });
  return new FileSink(await handle.createWritable(), handle.name);
}

// A passphrase of 8 groups of 5 letters and digits drawn from the system's
// random source (40 characters of 31: about 198 bits), offered when sealing
// with the passphrase left empty, as quorin seal does.
function generatedPassphrase() {
  const alphabet = "abcdefghijkmnpqrstuvwxyz2345679";  // no l, o, 0, 1, 8: easily misread
  const groups = [];
  for (let g = 0; g < 8; g++) {
    let group = "";
    while (group.length < 5) {
      const [r] = crypto.getRandomValues(new Uint8Array(1));
      if (r < 248) group += alphabet[r % 31];  // 248 = 8 * 31: no bias
    }
    groups.push(group);
  }
  return groups.join("-");
}

class Offered extends Error {}

async function secret() {
  const kind = ui.kind.value;
  if (kind === "passphrase") {
    if (!ui.passphrase.value && !ui.again.value && action() === "seal") {
      const offered = generatedPassphrase();
      ui.passphrase.value = ui.again.value = offered;
      throw new Offered(`A passphrase was generated for you: ${offered}\nWrite it down or keep it in a ` +
        "password manager, then press Seal to use it (or type your own).");
    }
    if (!ui.passphrase.value) throw new Error("Enter a passphrase.");
    if (action() === "seal" && ui.passphrase.value !== ui.again.value)
      throw new Error("The two passphrases differ.");
    return { kind, passphrase: ui.passphrase.value };
  }
  if (kind === "keyFile") {
    const f = ui.keyFile.files[0];
    if (!f) throw new Error("Choose a key file.");
    if (f.size > 2 ** 20) throw new Error("That is not a key file: it is larger than 1 MiB.");
    return { kind, keyFile: await f.arrayBuffer() };
  }
  const text = (kind === "identity" ? ui.identity : ui.recipients).value.trim();
  if (!text) throw new Error(kind === "identity" ? "Paste an identity." : "Paste at least one recipient.");
  return { kind, text };
}

form.addEventListener("submit", async (event) => {
  event.preventDefault();
  if (busy) return;
  clearResult();
  const file = ui.file.files[0];
  if (!file) return fail("Choose a file first.");
  let s;
  try {
    s = await secret();
  } catch (e) {
    return e instanceof Offered ? say(e.message) : fail(e.message);
  }
  try {
    sink = await sinkFor(outputName(file.name));
  } catch (e) {
    return e.name === "AbortError" ? say("Nothing was saved.") : fail(e.message);
  }
  running = action();
  const options = { action: running, file, secret: s, mode: ui.mode.value, keySize: Number(ui.keySize.value) };
  setBusy(true);
  ui.progress.value = 0;
  say(running === "seal" ? "Sealing…" : "Opening…");
  worker.postMessage(options);
});

ui.cancel.addEventListener("click", () => {
  if (!busy) return;
  worker.terminate(); // stops the work at once; nothing was saved
  startWorker();
  sink?.abort();
  sink = null;
  setBusy(false);
  ui.progress.value = 0;
  say("Cancelled. Nothing was saved.");
});

form.addEventListener("change", (event) => {
  if (event.target.name === "action" || event.target === ui.kind) refresh();
  if (event.target === ui.file) clearResult();
});

// Dropping a file onto its box, or anywhere on the page, chooses it.
for (const type of ["dragenter", "dragover"])
  document.addEventListener(type, (e) => { e.preventDefault(); ui.drop.classList.add("over"); });
document.addEventListener("dragleave", () => ui.drop.classList.remove("over"));
document.addEventListener("drop", (e) => {
  e.preventDefault();
  ui.drop.classList.remove("over");
  if (e.dataTransfer.files.length) {
    ui.file.files = e.dataTransfer.files;
    clearResult();
  }
});

ui.directBox.hidden = typeof window.showSaveFilePicker !== "function";
refresh();
startWorker();
