// One of the package's threads (a Node worker thread, or a browser's
// module worker): it instantiates the module it is sent and then seals and
// opens for the caller's thread, one request at a time, so that the
// passphrase's hashing and the ciphering never hold up the caller's event
// loop. Requests and replies are lib/async.js's.
import { isNode, instantiate } from "./load.js";
import { attach, checkedOptions, chunks, describeError, memoryBytes, Pushed } from "./quorin.js";

const port = isNode ? (await import("node:worker_threads")).parentPort : self;
const listen = (handler) =>
  isNode ? port.on("message", handler) : port.addEventListener("message", (e) => handler(e.data));

// Streams by the caller's number for them.
const streams = new Map();

// The pieces one push or finish gave, in one array of their own.
function gathered(run) {
  const views = [];
  let total = 0;
  run((view) => {
    views.push(view.slice());
    total += view.length;
  });
  if (views.length === 1) return views[0];
  const out = new Uint8Array(total);
  let at = 0;
  for (const v of views) {
    out.set(v, at);
    at += v.length;
  }
  return out;
}

function serve(request) {
  const { op, sid } = request;
  switch (op) {
    case "stream":
      streams.set(sid, new Pushed(request.sealing, checkedOptions(request.sealing, request.options)));
      return null;
    case "push":
      return gathered((emit) => streams.get(sid).push(new Uint8Array(request.data), emit));
    case "finish": {
      const pushed = streams.get(sid);
      streams.delete(sid);
      return gathered((emit) => pushed.finish(emit));
    }
    // A file whose chunks several threads take: its sealer or opener here
    // starts it and ends it ("rest": the chunks after those taken elsewhere).
    case "split": {
      const pushed = new Pushed(request.sealing, checkedOptions(request.sealing, request.options));
      streams.set(sid, pushed);
      return pushed.split(request.header && new Uint8Array(request.header));
    }
    case "chunks":
      return chunks(request.sealing, new Uint8Array(request.keys), request.first, new Uint8Array(request.data), request.chunk);
    case "rest": {
      const pushed = streams.get(sid);
      streams.delete(sid);
      pushed.skip(request.skip);
      return gathered((emit) => {
        pushed.push(new Uint8Array(request.data), emit);
        pushed.finish(emit);
      });
    }
  }
  throw new TypeError(`unknown request ${op}`);
}

let started;
listen(async (request) => {
  if (request.module) {
    started = instantiate(request.module).then(attach);
    return;
  }
  await started;
  if (request.op === "close") {  // no reply: the caller has gone
    streams.get(request.sid)?.close();
    streams.delete(request.sid);
    return;
  }
  let reply;
  try {
    const value = serve(request);
    reply = { id: request.id, value };
  } catch (e) {
    if (request.sid !== undefined && request.op !== "stream") {
      streams.get(request.sid)?.close();
      streams.delete(request.sid);
    }
    reply = { id: request.id, error: describeError(e) };
  }
  reply.memory = memoryBytes();
  const transfer = reply.value?.buffer ? [reply.value.buffer] : [];
  port.postMessage(reply, transfer);
});
