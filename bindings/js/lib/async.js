// Sealing and opening off the caller's thread: whole arrays and streams go
// to the package's threads (lib/worker.js), each with the module compiled
// once, so that a passphrase's seconds of hashing and the ciphering of a
// large file leave the caller's event loop turning. Options are checked
// here first, hashing nothing, so that a wrong one fails at once with the
// error the call would give.
import { isNode } from "./load.js";
import {
  bytesOf, checkedOptions, errorFrom, headerLength, QuorinError, sealedSize, textOrBytes,
} from "./quorin.js";

const decoder = new TextDecoder();

// ---------------------------------------------------------------- the threads

let module, WorkerClass, cores = 1;

/** Called once by the loader, with the compiled module and its kind. */
export async function startThreads(compiled) {
  module = compiled;
  if (isNode) {
    WorkerClass = (await import("node:worker_threads")).Worker;
    const os = await import("node:os");
    cores = os.availableParallelism?.() ?? os.cpus().length;
  } else {
    cores = globalThis.navigator?.hardwareConcurrency ?? 1;
  }
}

// A thread may keep memory it grew for a passphrase's hashing (hundreds of
// MiB at the default cost): one that holds more than this and has nothing
// to do is let go, and a new one made when needed.
const KEPT_MEMORY = 64 * 2 ** 20;
const MOST_THREADS = 4;
const threadsWanted = () => Math.min(Math.max(cores, 1), MOST_THREADS);

class Thread {
  #worker;
  #replies = new Map();
  #next = 0;
  streams = 0;
  retired = false;
  constructor() {
    const url = new URL("./worker.js", import.meta.url);
    this.#worker = isNode ? new WorkerClass(url) : new Worker(url, { type: "module" });
    const receive = (reply) => this.#receive(reply);
    const failed = (e) => this.#fail(e);
    if (isNode) {
      this.#worker.on("message", receive).on("error", failed).on("exit", () => failed(new Error("the thread ended")));
      this.#worker.unref();  // an idle thread keeps no process alive
    } else {
      this.#worker.addEventListener("message", (e) => receive(e.data));
      this.#worker.addEventListener("error", (e) => { e.preventDefault?.(); failed(e); });
    }
    this.#worker.postMessage({ module });
  }
  get busy() { return this.#replies.size; }
  /** Sends a request; the promise settles with the reply's value. */
  request(message, transfer = []) {
    if (!this.#worker) return Promise.reject(new QuorinError(-23, "a thread of the package has ended"));
    const id = this.#next++;
    if (this.#replies.size === 0 && isNode) this.#worker.ref();
    return new Promise((resolve, reject) => {
      this.#replies.set(id, { resolve, reject });
      this.#worker.postMessage({ ...message, id }, transfer);
    });
  }
  /** A message with no reply. */
  tell(message) { this.#worker?.postMessage(message); }
  #receive(reply) {
    const waiting = this.#replies.get(reply.id);
    this.#replies.delete(reply.id);
    if (this.#replies.size === 0 && isNode) this.#worker?.unref();
    if (reply.error) waiting.reject(errorFrom(reply.error));
    else waiting.resolve(reply.value);
    if (reply.memory > KEPT_MEMORY) retire(this);
    this.settle();
  }
  #fail(e) {
    retire(this);
    this.streams = 0;
    const error = new QuorinError(-23, `a thread of the package failed: ${e?.message ?? e}`);
    for (const { reject } of this.#replies.values()) reject(error);
    this.#replies.clear();
  }
  /** Ends a retired thread once nothing waits on it and it holds no stream. */
  settle() {
    if (this.retired && this.#replies.size === 0 && this.streams <= 0 && this.#worker) {
      this.#worker.terminate();
      this.#worker = null;
    }
  }
}

const threads = [];

// A retired thread takes no new work; it ends once its streams have.
function retire(thread) {
  const i = threads.indexOf(thread);
  if (i >= 0) threads.splice(i, 1);
  thread.retired = true;
}

// An idle thread, a new one while there are fewer than the cores, else
// the least busy.
function thread() {
  const idle = threads.find((t) => t.busy === 0 && t.streams === 0) ?? threads.find((t) => t.busy === 0);
  if (idle) return idle;
  if (threads.length < threadsWanted()) {
    threads.push(new Thread());
    return threads.at(-1);
  }
  return threads.reduce((a, b) => (b.busy < a.busy ? b : a));
}

// ---------------------------------------------------------------- whole arrays

// Whole arrays go to a thread as a stream does, in pieces of a MiB with a
// few on their way at once, so that no copy of the whole input is made and
// the thread is never idle waiting for the next. Sealed output goes
// straight into the result, whose length the size query gives exactly;
// opened output is gathered and put in a result of its length at the end
// (the padding's length is known only then), so that the result is a
// plain ArrayBuffer of its own length made by one copy.
//
// Where there are two cores or more, a large binary file's chunks are
// shared among the threads instead (split below): one thread writes or
// reads the header and ends the file, and every thread takes batches of
// chunks by number, with the file's chunk keys.
const PIECE = 2 ** 20;
const IN_FLIGHT = 4;
const SPLIT_FROM = 8 * 2 ** 20;
const BATCH_CHUNKS = 32;
const TAG_BYTES = 16;

function signalOf(options) {
  const signal = options?.signal;
  if (signal !== undefined && !(signal instanceof AbortSignal)) throw new TypeError("signal must be an AbortSignal");
  signal?.throwIfAborted();
  return signal;
}

// An abort rejects at once with the signal's reason; the thread drops the
// call's state (a passphrase's hashing under way runs to its end first).
async function whole(data, options, sealing) {
  const signal = signalOf(options);
  const plain = checkedOptions(sealing, options);
  const raw = textOrBytes(data, "data");
  const result = sealing ? new Uint8Array(sealedSize(raw.length, plain)) : null;
  const pieces = [];
  const aborted = signal && new Promise((_, reject) => signal.addEventListener("abort", () => reject(signal.reason), { once: true }));
  aborted?.catch(() => {});
  const settled = (reply) => (aborted ? Promise.race([reply, aborted]) : reply);
  const t = thread();
  const sid = streamNumber++;
  t.streams++;
  let n = 0, open = true, keys = null;
  const take = (out) => {
    if (result) result.set(out, n);
    else pieces.push(out);
    n += out.length;
  };
  const sent = (request, transfer) => {
    const reply = t.request(request, transfer);
    reply.catch(() => {});  // the first failure is the one reported
    return reply;
  };
  try {
    let from = 0;
    const large = cores >= 2 && raw.length >= SPLIT_FROM;
    const header = large && !sealing ? headerLength(raw) : 0;
    if (large && (sealing ? !plain.armour : header > 0)) {
      const split = await settled(sent({ op: "split", sid, sealing, options: plain, header: sealing ? undefined : raw.slice(0, header).buffer }));
      take(split.head);
      from = header;
      keys = split.keys;
      if (keys) {
        const layout = { input: header, output: split.head.length, chunk: split.chunk };
        const ended = await splitRun(raw, sealing, layout, keys, result, settled, sent, sid);
        open = false;  // "rest" dropped the thread's state
        t.streams--;
        t.settle();
        return ended;
      }
    } else {
      await settled(sent({ op: "stream", sid, sealing, options: plain }));
    }
    const waiting = [];
    for (let at = from; at < raw.length; at += PIECE) {
      const piece = raw.slice(at, at + PIECE);
      waiting.push(sent({ op: "push", sid, data: piece.buffer }, [piece.buffer]));
      if (waiting.length >= IN_FLIGHT) take(await settled(waiting.shift()));
    }
    for (const reply of waiting) take(await settled(reply));
    take(await settled(sent({ op: "finish", sid })));
    open = false;  // finish dropped the thread's state
    t.streams--;
    t.settle();
  } catch (e) {
    for (const p of result ? [result] : pieces) p.fill(0);  // plaintext of chunks verified before the failure
    if (open) closeStream(t, sid);
    throw e;
  } finally {
    keys?.fill(0);
  }
  return result ?? joined(pieces, n);
}

// The chunks after the header, but for those of the last, in batches on
// every thread (a few batches on their way to each), and the rest on the
// file's own thread. Sealing writes straight into `result`, whose header is
// in place. Opening ends the file first, to learn the plaintext's exact
// length, but reports a failing batch before a failing end, as opening in
// order would.
async function splitRun(raw, sealing, { input, output, chunk }, keys, result, settled, sent, sid) {
  const stored = chunk + TAG_BYTES;
  const unit = sealing ? chunk : stored;
  // Opening leaves the last stored chunk (the only one that may be short) to the end.
  const full = sealing ? Math.floor(raw.length / chunk) : Math.max(0, Math.ceil((raw.length - input) / stored) - 1);
  const rest = raw.slice(input + full * unit);
  const ending = sent({ op: "rest", sid, skip: full, data: rest.buffer }, [rest.buffer]);
  let tail = null, tailError = null;
  if (!sealing) {
    try {
      tail = await settled(ending);
      result = new Uint8Array(full * chunk + tail.length);
    } catch (e) {
      tailError = e;  // the batches run on, to report a failure before it first
    }
  }
  const queue = new ChunkQueue(sealing, keys, chunk, IN_FLIGHT);
  let at = sealing ? output : 0;  // where the next batch's output goes
  const land = async () => {
    const out = await settled(queue.next());
    result?.set(out, at);
    at += out.length;
    out.fill(0);
  };
  try {
    for (let first = 0; first < full; first += BATCH_CHUNKS) {
      const count = Math.min(BATCH_CHUNKS, full - first);
      queue.send(raw.slice(input + first * unit, input + (first + count) * unit), count);
      if (queue.full) await land();
    }
    while (!queue.empty) await land();
    if (tailError) throw tailError;
    if (sealing) tail = await settled(ending);
  } catch (e) {
    queue.drop();
    result?.fill(0);
    throw e;
  }
  result.set(tail, at);
  tail.fill(0);
  return result;
}

function joined(pieces, n) {
  const out = new Uint8Array(n);
  let at = 0;
  for (const p of pieces) {
    out.set(p, at);
    at += p.length;
    p.fill(0);
  }
  return out;
}

const isStream = (data) => typeof data?.getReader === "function" && typeof data?.pipeThrough === "function";

/** Seals data: a promise of the sealed bytes (or text, with armour) for
 * bytes or a string; a ReadableStream of them for a ReadableStream. */
export function seal(data, options = {}) {
  if (isStream(data)) return data.pipeThrough(new SealStream(options), { signal: options?.signal });
  return whole(data, options, true).then((sealed) => (options.armour ? decoder.decode(sealed) : sealed));
}

/** Opens sealed bytes or armour: a promise of the plaintext, once every tag
 * matched; a ReadableStream of it for a ReadableStream. */
export function open(data, options = {}) {
  if (isStream(data)) return data.pipeThrough(new OpenStream(options), { signal: options?.signal });
  return whole(data, options, false);
}

// ---------------------------------------------------------------- streams

let streamNumber = 0;

// A stream dropped without ending gives its thread's state back once its
// transformer is collected (the TransformStream object itself may go long
// before its two sides do); the cleanup holds the thread and the number,
// nothing of the stream.
const dropped = new FinalizationRegistry(({ thread, sid }) => closeStream(thread, sid));
function closeStream(thread, sid) {
  thread.tell({ op: "close", sid });
  thread.streams--;
  thread.settle();
}

// A TransformStream's transformer whose work is done on a thread; where
// there are two cores or more, a binary file's chunks are shared among the
// threads as a whole array's are (Batches), and the stream's thread writes
// or reads the header and ends the file.
function transformerOn(sealing, plain, signal) {
  const t = thread();
  const sid = streamNumber++;
  t.streams++;
  let open = true;
  const close = () => {
    if (!open) return;
    open = false;
    dropped.unregister(transformer);
    batches?.drop();
    closeStream(t, sid);
  };
  const ended = () => {  // the thread dropped its state itself
    if (!open) return;
    open = false;
    dropped.unregister(transformer);
    t.streams--;
    t.settle();
  };
  // How the stream runs: "plain" pushes every piece to the stream's thread;
  // "split" gathers batches of whole chunks for every thread; an opening
  // stream is "deciding" until it knows whether its input is binary and
  // where its header ends.
  let way = "plain", started = null, batches = null, lead = new Uint8Array(0);
  const startPlain = () => {
    way = "plain";
    started ??= t.request({ op: "stream", sid, sealing, options: plain });
    started.catch(() => {});
  };
  const startSplit = (header) => {
    way = "split";
    started = t.request({ op: "split", sid, sealing, options: plain, header: header?.slice().buffer })
      .then((reply) => {
        if (reply.keys) batches = new Batches(sealing, reply.keys, reply.chunk);
        else way = "plain";  // version 1: the opener has read the header; the rest is pushed
        return reply.head;
      });
    started.catch(() => {});
  };
  if (cores < 2) startPlain();
  else if (sealing) startSplit(null);
  else way = "deciding";

  const guarded = (f) => async (...args) => {
    try {
      return await f(...args);
    } catch (e) {
      if (way === "plain") ended();
      else close();
      throw e;
    }
  };
  // Nothing goes out once the stream was cancelled or aborted mid-call (a
  // reader's cancel reaches the transformer only as a failing enqueue where
  // the engine has no cancel hook): returns whether the stream goes on.
  const enqueue = (controller, out) => {
    if (!open) return false;
    if (out.length === 0) return true;
    try {
      controller.enqueue(out);
      return true;
    } catch {
      out.fill(0);
      close();
      return false;
    }
  };
  const push = async (controller, bytes) => {
    if (bytes.length === 0) return;
    const copy = bytes.slice();
    enqueue(controller, await t.request({ op: "push", sid, data: copy.buffer }, [copy.buffer]));
  };
  // The lead of an opening stream, until it is clear whether it splits.
  const decide = async (controller, ending) => {
    const header = lead.length >= 8 && isBinary(lead) ? headerLength(lead) : 0;
    if (header > 0) {
      startSplit(lead.subarray(0, header));
      const rest = lead.subarray(header);
      lead = null;
      await started;
      await (way === "split" ? batches.add(rest, controller, enqueue) : push(controller, rest));
    } else if (ending || (lead.length >= 8 && !isBinary(lead)) || lead.length >= 2 ** 20) {
      startPlain();
      await started;
      const rest = lead;
      lead = null;
      await push(controller, rest);
    }
  };
  const transformer = {
    start(controller) {
      signal?.addEventListener("abort", () => {
        controller.error(signal.reason);
        close();
      }, { once: true });
    },
    transform: guarded(async (chunk, controller) => {
      const bytes = bytesOf(chunk, "each chunk");
      if (!open) return;
      if (way === "deciding") {
        const grown = new Uint8Array(lead.length + bytes.length);
        grown.set(lead);
        grown.set(bytes, lead.length);
        lead = grown;
        return decide(controller, false);
      }
      const head = await started;
      if (way === "plain") return push(controller, bytes);
      if (head?.length) enqueue(controller, head);
      started = Promise.resolve(null);  // the header goes out once
      await batches.add(bytes, controller, enqueue);
    }),
    flush: guarded(async (controller) => {
      if (!open) return;
      if (way === "deciding") await decide(controller, true);
      const head = await started;
      if (way === "split") {
        if (head?.length) enqueue(controller, head);
        const { skip, rest } = await batches.end(controller, enqueue);
        if (!open) return;
        enqueue(controller, await t.request({ op: "rest", sid, skip, data: rest.buffer }, [rest.buffer]));
      } else {
        enqueue(controller, await t.request({ op: "finish", sid }));
      }
      ended();
    }),
    // The reader cancelled, the writer aborted, or the source failed.
    cancel: close,
  };
  dropped.register(transformer, { thread: t, sid }, transformer);
  return transformer;
}

const STREAM_BATCH_CHUNKS = 8;
const STREAM_IN_FLIGHT = 2;
const MAGIC = [0x51, 0x55, 0x4f, 0x52, 0x53, 0x45, 0x41, 0x4c];  // "QUORSEAL"
const isBinary = (bytes) => MAGIC.every((b, i) => bytes[i] === b);

// Batches of a file's whole chunks, each sealed or opened on the least busy
// thread with the file's chunk keys, numbered in the order sent, `perThread`
// on their way for each thread; their outputs are taken in that order.
class ChunkQueue {
  #sealing; #keys; #chunk; #most; #sent = 0; #waiting = [];
  constructor(sealing, keys, chunk, perThread) {
    this.#sealing = sealing;
    this.#keys = keys;
    this.#chunk = chunk;
    this.#most = perThread * threadsWanted();
  }
  /** How many chunks were sent. */
  get sent() { return this.#sent; }
  get full() { return this.#waiting.length >= this.#most; }
  get empty() { return this.#waiting.length === 0; }
  /** Sends `count` whole chunks (a copy of its own, moved to the thread). */
  send(data, count) {
    const reply = thread().request({ op: "chunks", sealing: this.#sealing, keys: this.#keys, first: this.#sent,
      chunk: this.#chunk, data: data.buffer }, [data.buffer]);
    reply.catch(() => {});
    this.#waiting.push(reply);
    this.#sent += count;
  }
  /** The oldest batch's output, a promise. */
  next() { return this.#waiting.shift(); }
  /** Wipes the keys and the output of batches still on their way. */
  drop() {
    for (const reply of this.#waiting) reply.then((out) => out.fill(0), () => {});
    this.#waiting = [];
    this.#keys.fill(0);
  }
}

// A stream's whole chunks gathered into batches for a ChunkQueue. Smaller
// batches than a whole array's, and fewer on their way, keep a stream's
// memory flat. An opening stream keeps back what may be the last chunk (a
// chunk is the last only when the input ends after it).
class Batches {
  #sealing; #unit; #size; #buffer; #length = 0; #queue;
  constructor(sealing, keys, chunk) {
    this.#sealing = sealing;
    this.#unit = sealing ? chunk : chunk + TAG_BYTES;
    this.#size = STREAM_BATCH_CHUNKS * this.#unit;
    this.#buffer = new Uint8Array(this.#size + this.#unit);
    this.#queue = new ChunkQueue(sealing, keys, chunk, STREAM_IN_FLIGHT);
  }
  async add(bytes, controller, enqueue) {
    for (let at = 0; at < bytes.length;) {
      const n = Math.min(this.#buffer.length - this.#length, bytes.length - at);
      this.#buffer.set(bytes.subarray(at, at + n), this.#length);
      this.#length += n;
      at += n;
      if (this.#length > this.#size || (this.#sealing && this.#length === this.#size)) this.#send(STREAM_BATCH_CHUNKS);
      while (this.#queue.full) if (!enqueue(controller, await this.#queue.next())) return this.drop();
    }
  }
  /** Sends the whole chunks left but an opening stream's last; returns how
   * many chunks went to batches and the bytes after them, once every batch
   * has given its output. */
  async end(controller, enqueue) {
    const whole = this.#sealing ? Math.floor(this.#length / this.#unit) : Math.max(0, Math.ceil(this.#length / this.#unit) - 1);
    if (whole > 0) this.#send(whole);
    while (!this.#queue.empty) if (!enqueue(controller, await this.#queue.next())) break;
    const rest = this.#buffer.slice(0, this.#length);
    this.drop();
    return { skip: this.#queue.sent, rest };
  }
  drop() {
    this.#queue.drop();
    this.#buffer.fill(0);
  }
  #send(count) {
    const bytes = count * this.#unit;
    const data = this.#buffer.slice(0, bytes);
    this.#buffer.copyWithin(0, bytes, this.#length);
    this.#length -= bytes;
    this.#queue.send(data, count);
  }
}
function streamOptions(sealing, options) {
  const signal = signalOf(options);
  return [checkedOptions(sealing, options), signal];
}

/** A TransformStream that seals what is written to it, on the package's
 * threads, in constant memory. Bad options throw here. */
export class SealStream extends TransformStream {
  constructor(options = {}) {
    const [plain, signal] = streamOptions(true, options);
    super(transformerOn(true, plain, signal));
  }
}

/** A TransformStream that opens sealed bytes: only plaintext whose tags
 * matched comes out, and a wrong secret, an altered, truncated or unsealed
 * input errors it with the matching QuorinError. */
export class OpenStream extends TransformStream {
  constructor(options = {}) {
    const [plain, signal] = streamOptions(false, options);
    super(transformerOn(false, plain, signal));
  }
}
