// The package's tests in headless Chromium: the repository is served on a
// local port (cross-origin isolated, as a page that shares memory with its
// workers must be), index.html runs the test files that need no Node, and
// the outcome is printed as Node's runner would; exit 1 on any failure.
//
//   CHROMIUM=/usr/bin/chromium node test/browser/run.mjs
import { createServer } from "node:http";
import { readdir, readFile, stat } from "node:fs/promises";
import { extname } from "node:path";
import { fileURLToPath } from "node:url";
import puppeteer from "puppeteer-core";

const ROOT = fileURLToPath(new URL("../../../../", import.meta.url));
const FILES = ["test/component.test.js", "test/sealed.test.js", "test/conformance.test.js"];
const TYPES = { ".js": "text/javascript", ".mjs": "text/javascript", ".wasm": "application/wasm",
  ".html": "text/html", ".json": "application/json" };

const server = createServer(async (request, response) => {
  const url = new URL(request.url, "http://localhost");
  const path = ROOT + decodeURIComponent(url.pathname).replace(/^\/+/, "");
  const headers = { "Cross-Origin-Opener-Policy": "same-origin", "Cross-Origin-Embedder-Policy": "require-corp" };
  try {
    if ((await stat(path)).isDirectory() && url.searchParams.has("list")) {
      response.writeHead(200, { ...headers, "Content-Type": "application/json" });
      return response.end(JSON.stringify(await readdir(path)));
    }
    const body = await readFile(path);
    response.writeHead(200, { ...headers, "Content-Type": TYPES[extname(path)] ?? "application/octet-stream" });
    response.end(body);
  } catch {
    response.writeHead(404, headers);
    response.end();
  }
});
await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
const query = FILES.map((f) => `file=${encodeURIComponent(f)}`).join("&");
const pageUrl = `http://127.0.0.1:${server.address().port}/bindings/js/test/browser/index.html?${query}`;

const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM ?? "/usr/bin/chromium",
  headless: true,
  protocolTimeout: 0,  // the page is busy for minutes at a time
  args: ["--no-sandbox", "--disable-gpu"],
});
let results;
try {
  const page = await browser.newPage();
  page.on("pageerror", (e) => console.error(`page error: ${e.message}`));
  page.on("console", (message) => console.log(message.text()));
  await page.goto(pageUrl);
  if (!(await page.evaluate(() => crossOriginIsolated))) throw new Error("the test page is not cross-origin isolated");
  await page.waitForFunction(() => window.results, { timeout: 0, polling: 500 });
  results = await page.evaluate(() => window.results);
} finally {
  await browser.close();
  server.close();
}
for (const f of results.failures) console.error(`FAILED ${f}\n`);
console.log(`# Chromium: ${results.passed} passed, ${results.failed} failed, ${results.skipped} skipped`);
process.exit(results.failed === 0 && results.passed > 0 ? 0 : 1);
