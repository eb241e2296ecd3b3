// The page: gathers the file, the secret and the options, runs the work in
// a worker (built from the bundle's source, so that the page also works
// from file://), shows progress, and offers the result for saving. Nothing
// is sent anywhere or kept.
"use strict";

const $ = (id) => document.getElementById(id);
const form = $("work");
const ui = {
  file: $("file"), kind: $("secret-kind"), passphrase: $("passphrase"), again: $("passphrase-again"),
  keyFile: $("key-file"), identity: $("identity"), recipients: $("recipients"),
  mode: $("mode"), keySize: $("key-size"), start: $("start"), cancel: $("cancel"),
  progress: $("progress"), status: $("status"), error: $("error"), result: $("result"),
  download: $("download"), drop: $("drop"),
};
let worker = null, busy = false, resultUrl = null;

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
  ui.start.disabled = on;
  ui.cancel.disabled = !on;
  form.setAttribute("aria-busy", String(on));
}

function startWorker() {
  const source = new Blob([self.QUORIN_WORKER_SOURCE], { type: "text/javascript" });
  const url = URL.createObjectURL(source);
  worker = new Worker(url, { name: "quorin" });
  URL.revokeObjectURL(url);
  worker.onmessage = ({ data }) => {
    if (data.ready) return;
    if (data.progress !== undefined) {
      ui.progress.value = data.progress;
      return;
    }
    setBusy(false);
    if (data.error) return fail(data.error);
    const name = outputName(ui.file.files[0].name);
    resultUrl = URL.createObjectURL(data.done);
    ui.download.href = resultUrl;
    ui.download.download = name;
    ui.download.textContent = `Save ${name} (${data.size.toLocaleString()} bytes)`;
    ui.result.hidden = false;
    say(action() === "seal" ? "Sealed." : "Opened: every part of the file was verified.");
    ui.download.focus();
  };
  worker.onerror = (e) => {
    setBusy(false);
    fail("The worker failed: " + (e.message || "this browser refused to run it"));
  };
}

function outputName(name) {
  if (action() === "seal") return name + ".qsl";
  return /\.qsl$/i.test(name) && name.length > 4 ? name.slice(0, -4) : name + ".opened";
}

async function secret() {
  const kind = ui.kind.value;
  if (kind === "passphrase") {
    if (!ui.passphrase.value) throw new Error("Enter a passphrase.");
    if (action() === "seal" && ui.passphrase.value !== ui.again.value)
      throw new Error("The two passphrases differ.");
    return { kind, passphrase: ui.passphrase.value };
  }
  if (kind === "keyFile") {
    const f = ui.keyFile.files[0];
    if (!f) throw new Error("Choose a key file.");
    if (f.size > 1024) throw new Error("That is not a key file: key files hold 16 to 1024 bytes.");
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
    return fail(e.message);
  }
  setBusy(true);
  ui.progress.value = 0;
  say(action() === "seal" ? "Sealing…" : "Opening…");
  worker.postMessage({ action: action(), file, secret: s, mode: ui.mode.value, keySize: Number(ui.keySize.value) });
});

ui.cancel.addEventListener("click", () => {
  if (!busy) return;
  worker.terminate(); // stops the work at once; nothing was saved
  startWorker();
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

refresh();
startWorker();
