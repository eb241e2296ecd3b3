// node:test's `test` in the browser, as far as the package's tests use it:
// tests are gathered as their modules load, then run one after another by
// index.html, which reports them.
export const tests = [];

export function test(name, options, fn) {
  if (typeof options === "function") [fn, options] = [options, {}];
  tests.push({ name, skip: options?.skip, fn });
}
