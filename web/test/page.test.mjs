// The page in headless Chromium, from file://: seal a file and open it back
// through the page and compare the saved bytes (saved at the end, and as
// the work goes); the refusals show their
// message and save nothing; cancelling stops the work; the controls are
// labelled and reachable by keyboard, and the page reflows at 200% zoom; and
// no request leaves the page (the test counts them, and its own server
// sees none). QUORIN_SCREENSHOT=path saves a screenshot for the docs.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { createServer } from "node:http";
import { mkdtempSync, readFileSync, writeFileSync, existsSync, readdirSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import puppeteer from "puppeteer-core";
import * as quorin from "../../bindings/js/index.js";

// QUORIN_PAGE_URL tries the page served (python3 -m http.server -d web).
const PAGE = process.env.QUORIN_PAGE_URL ?? new URL("../index.html", import.meta.url).href;
const dir = mkdtempSync(join(tmpdir(), "quorin-page-"));
const downloads = join(dir, "downloads");
const PLAIN = Uint8Array.from({ length: 3 * 2 ** 20 + 123 }, (_, i) => (i * 31 + (i >> 9)) % 256);
const PASSPHRASE = "correct horse battery staple";
let browser, page, requests = [], serverHits = 0, server;

before(async () => {
  server = createServer((_, res) => { serverHits++; res.end("ok"); });
  await new Promise((r) => server.listen(0, "127.0.0.1", r));
  browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM ?? "/usr/bin/chromium",
    headless: true,
    args: ["--no-sandbox", "--disable-gpu"],
  });
  page = await browser.newPage();
  page.on("request", (r) => requests.push(r.url()));
  const session = await browser.target().createCDPSession();
  await session.send("Browser.setDownloadBehavior", { behavior: "allow", downloadPath: downloads });
  await page.setViewport({ width: 1000, height: 900 });
  await page.goto(PAGE);
  await page.waitForFunction(() => document.getElementById("start").textContent === "Seal");
});

after(async () => {
  await browser?.close();
  server?.close();
  rmSync(dir, { recursive: true, force: true });
});

async function choose(action, file, secret, direct = false) {
  await page.click(`input[name=action][value=${action}]`);
  await page.$eval("#direct", (el, on) => { el.checked = on; }, direct);
  await (await page.$("#file")).uploadFile(file);
  await page.select("#secret-kind", secret.kind);
  if (secret.kind === "passphrase") {
    for (const id of ["#passphrase", "#passphrase-again"])
      await page.$eval(id, (el, v) => { el.value = v; }, secret.passphrase);
  } else {
    await page.$eval("#identity", (el, v) => { el.value = v; }, secret.text);
  }
  await page.click("#start");
  // Until the result or the error shows.
  await page.waitForFunction(() => !document.getElementById("result").hidden ||
    !document.getElementById("error").hidden || / saved as /.test(document.getElementById("status").textContent),
  { timeout: 120000 });
  return page.evaluate(() => ({
    error: document.getElementById("error").hidden ? null : document.getElementById("error").textContent,
    saveAs: document.getElementById("result").hidden ? null : document.getElementById("download").download,
  }));
}

async function saved(name) {
  await page.click("#download");
  const path = join(downloads, name);
  for (let i = 0; i < 600 && !existsSync(path); i++) await new Promise((r) => setTimeout(r, 50));
  assert.ok(existsSync(path), `${name} was saved`);
  return new Uint8Array(readFileSync(path));
}

test("a file sealed by the page opens in the package, and opens back in the page", async () => {
  const source = join(dir, "notes.txt");
  writeFileSync(source, PLAIN);
  const sealing = await choose("seal", source, { kind: "passphrase", passphrase: PASSPHRASE });
  assert.deepEqual(sealing, { error: null, saveAs: "notes.txt.qsl" });
  const sealed = await saved("notes.txt.qsl");
  assert.deepEqual(await quorin.open(sealed, { passphrase: PASSPHRASE }), PLAIN);

  const copy = join(dir, "notes-copy.txt.qsl");
  writeFileSync(copy, sealed);
  assert.deepEqual(await choose("open", copy, { kind: "passphrase", passphrase: PASSPHRASE }),
    { error: null, saveAs: "notes-copy.txt" });
  assert.deepEqual(await saved("notes-copy.txt"), PLAIN);
  if (process.env.QUORIN_SCREENSHOT) await page.screenshot({ path: process.env.QUORIN_SCREENSHOT });
});

// Saving as the work goes, through the File System Access API: the save
// dialog cannot be answered headless, so the test puts a picker of its own
// in its place, whose file keeps what is written, and whether it was
// completed (close) or given up (abort).
test("saving as the work goes: the file is completed, or given up on failure", async () => {
  await page.evaluate(() => {
    window.showSaveFilePicker = async ({ suggestedName }) => ({
      name: suggestedName,
      createWritable: async () => {
        const file = (window.savedFile = { parts: [], closed: false, aborted: false });
        return {
          write: async (bytes) => { for (const b of bytes) file.parts.push(b); },
          close: async () => { file.closed = true; },
          abort: async () => { file.aborted = true; },
        };
      },
    });
  });
  const source = join(dir, "direct.txt");
  writeFileSync(source, PLAIN.subarray(0, 300000));
  const sealing = await choose("seal", source, { kind: "passphrase", passphrase: PASSPHRASE }, true);
  assert.deepEqual(sealing, { error: null, saveAs: null });
  assert.match(await page.$eval("#status", (el) => el.textContent), /saved as direct\.txt\.qsl/);
  const file = await page.evaluate(() => ({ ...window.savedFile, parts: undefined, bytes: window.savedFile.parts }));
  assert.deepEqual({ closed: file.closed, aborted: file.aborted }, { closed: true, aborted: false });
  const sealed = Uint8Array.from(file.bytes);
  assert.deepEqual(await quorin.open(sealed, { passphrase: PASSPHRASE }), PLAIN.subarray(0, 300000));

  const wrong = join(dir, "direct.txt.qsl");
  writeFileSync(wrong, sealed);
  const opening = await choose("open", wrong, { kind: "passphrase", passphrase: "wrong" }, true);
  assert.match(opening.error, /Wrong passphrase/);
  assert.deepEqual(await page.evaluate(() => [window.savedFile.closed, window.savedFile.aborted]), [false, true]);
});

test("an identity opens what the package sealed to its recipient", async () => {
  const me = quorin.generateIdentity();
  const file = join(dir, "for-me.qsl");
  writeFileSync(file, await quorin.seal(PLAIN.subarray(0, 1000), { recipients: [me.recipient] }));
  assert.deepEqual(await choose("open", file, { kind: "identity", text: String(me.identity) }),
    { error: null, saveAs: "for-me" });
  assert.deepEqual(await saved("for-me"), PLAIN.subarray(0, 1000));
});

test("an armoured file opens as it is, quoted in a mail", async () => {
  const text = await quorin.seal(PLAIN, { passphrase: PASSPHRASE, cost: "interactive", armour: true });
  const mail = join(dir, "mail.txt");
  writeFileSync(mail, "Hi,\n\n" + text.replace(/^/gm, "> ") + "\nAnn\n");
  assert.deepEqual(await choose("open", mail, { kind: "passphrase", passphrase: PASSPHRASE }),
    { error: null, saveAs: "mail.txt.opened" });
  assert.deepEqual(await saved("mail.txt.opened"), PLAIN);
});

test("an empty passphrase when sealing is offered a generated one; the form is locked while busy", async () => {
  await page.click("input[name=action][value=seal]");
  writeFileSync(join(dir, "offered.txt"), PLAIN);
  await (await page.$("#file")).uploadFile(join(dir, "offered.txt"));
  await page.select("#secret-kind", "passphrase");
  for (const id of ["#passphrase", "#passphrase-again"]) await page.$eval(id, (el) => { el.value = ""; });
  await page.click("#start");
  const offered = await page.$eval("#passphrase", (el) => el.value);
  assert.match(offered, /^([a-z2-79]{5}-){7}[a-z2-79]{5}$/);
  assert.match(await page.$eval("#status", (el) => el.textContent), new RegExp(offered));
  assert.equal(await page.$eval("#passphrase-again", (el) => el.value), offered);
  await page.click("#start");  // seals with it; the action cannot be switched meanwhile
  await page.waitForFunction(() => document.querySelector("input[name=action][value=open]").disabled);
  await page.waitForFunction(() => !document.getElementById("result").hidden, { timeout: 120000 });
  assert.match(await page.$eval("#status", (el) => el.textContent), /^Sealed/);
  assert.deepEqual(await quorin.open(await saved("offered.txt.qsl"), { passphrase: offered }), PLAIN);
});

test("a wrong passphrase, an altered, truncated or unsealed file: the message, and nothing saved", async () => {
  const sealed = await quorin.seal(PLAIN, { passphrase: PASSPHRASE, cost: "interactive" });
  const altered = sealed.slice();
  altered[sealed.length >> 1] ^= 1;
  const cases = [
    ["wrong.qsl", sealed, "not the passphrase", /Wrong passphrase, key file or identity, or the file was altered/],
    ["altered.qsl", altered, PASSPHRASE, /or the file was altered/],
    ["truncated.qsl", sealed.subarray(0, sealed.length - 100), PASSPHRASE, /truncated/],
    ["plain.qsl", PLAIN, PASSPHRASE, /not a sealed file/],
  ];
  for (const [name, bytes, passphrase, message] of cases) {
    const file = join(dir, name);
    writeFileSync(file, bytes);
    const got = await choose("open", file, { kind: "passphrase", passphrase });
    assert.equal(got.saveAs, null, name);
    assert.match(got.error, message, name);
  }
  const before = readdirSync(downloads).length;
  await new Promise((r) => setTimeout(r, 300));
  assert.equal(readdirSync(downloads).length, before);
});

test("cancel stops the work and saves nothing", async () => {
  const big = join(dir, "big.bin");
  writeFileSync(big, new Uint8Array(256 * 2 ** 20));
  await page.click("input[name=action][value=seal]");
  await page.$eval("#direct", (el) => { el.checked = false; });
  await (await page.$("#file")).uploadFile(big);
  await page.select("#secret-kind", "passphrase");
  for (const id of ["#passphrase", "#passphrase-again"]) await page.$eval(id, (el) => { el.value = "p"; });
  await page.click("#start");
  await page.click("#cancel");
  const state = await page.evaluate(() => ({
    status: document.getElementById("status").textContent,
    result: document.getElementById("result").hidden,
    start: document.getElementById("start").disabled,
  }));
  assert.deepEqual(state, { status: "Cancelled. Nothing was saved.", result: true, start: false });
});

test("labelled controls, reachable by keyboard, and no sideways scrolling at 200% zoom", async () => {
  const unlabelled = await page.$$eval("input, select, textarea, progress", (els) =>
    els.filter((el) => el.type !== "radio" && el.labels.length === 0).map((el) => el.id));
  assert.deepEqual(unlabelled, []);
  await page.focus("body");
  const reached = new Set();
  for (let i = 0; i < 25; i++) {
    await page.keyboard.press("Tab");
    reached.add(await page.evaluate(() => document.activeElement.id || document.activeElement.name));
  }
  for (const id of ["action", "file", "secret-kind", "passphrase", "start"]) assert.ok(reached.has(id), id);
  await page.setViewport({ width: 500, height: 900 }); // 1000 CSS pixels at 200%
  assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth));
});

test("no request leaves the page: only its own files, and the policy blocks the rest", async () => {
  const own = PAGE.startsWith("file:") ? "file:" : new URL(PAGE).origin + "/";
  const outside = requests.filter((u) => !u.startsWith(own) && !u.startsWith("blob:") && !u.startsWith("data:"));
  assert.deepEqual(outside, []);
  const url = `http://127.0.0.1:${server.address().port}/`;
  const blocked = await page.evaluate((u) => fetch(u).then(() => false, () => true), url);
  assert.ok(blocked, "the Content-Security-Policy refuses a connection");
  assert.equal(serverHits, 0);
});
