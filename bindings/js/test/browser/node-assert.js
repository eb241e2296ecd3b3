// node:assert/strict in the browser, as far as the package's tests use it,
// with Node's meaning: deep equality is strict and compares typed arrays by
// content; an expected error is a class, a RegExp tested on String(error),
// an object whose properties must match, or a validating function.
class AssertionError extends Error {
  constructor(message) {
    super(message);
    this.name = "AssertionError";
  }
}

function deepEqual(a, b) {
  if (Object.is(a, b)) return true;
  if (typeof a !== "object" || typeof b !== "object" || a === null || b === null) return false;
  if (Object.getPrototypeOf(a) !== Object.getPrototypeOf(b)) return false;
  if (ArrayBuffer.isView(a)) return a.length === b.length && a.every((v, i) => Object.is(v, b[i]));
  const keys = Object.keys(a);
  return keys.length === Object.keys(b).length && keys.every((k) => deepEqual(a[k], b[k]));
}

const show = (v) => (ArrayBuffer.isView(v) ? `${v.constructor.name}(${v.length})` : String(v));
const fail = (message, fallback) => { throw new AssertionError(message ?? fallback); };

function matches(error, expected) {
  if (expected === undefined) return true;
  if (expected instanceof RegExp) return expected.test(String(error));
  if (typeof expected === "function") {
    if (expected.prototype !== undefined && error instanceof expected) return true;
    if (Error.isPrototypeOf(expected) || expected === Error) return false;
    return expected(error) === true;
  }
  return Object.entries(expected).every(([k, v]) => (v instanceof RegExp ? v.test(error?.[k]) : deepEqual(error?.[k], v)));
}

function check(error, expected, message) {
  if (!matches(error, expected)) fail(message, `the error ${error} is not the one expected (${expected})`);
}

const assert = {
  equal: (a, b, message) => Object.is(a, b) || fail(message, `${show(a)} !== ${show(b)}`),
  deepEqual: (a, b, message) => deepEqual(a, b) || fail(message, `${show(a)} is not deeply equal to ${show(b)}`),
  ok: (value, message) => value || fail(message, `${value} is not truthy`),
  match: (text, re, message) => re.test(text) || fail(message, `${text} does not match ${re}`),
  doesNotMatch: (text, re, message) => !re.test(text) || fail(message, `${text} matches ${re}`),
  throws(fn, expected, message) {
    try {
      fn();
    } catch (e) {
      return check(e, expected, message);
    }
    fail(message, "nothing was thrown");
  },
  async rejects(work, expected, message) {
    try {
      await (typeof work === "function" ? work() : work);
    } catch (e) {
      return check(e, expected, message);
    }
    fail(message, "nothing was rejected");
  },
};
export default assert;
