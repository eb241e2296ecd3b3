// CommonJS: require("quorin") gives this object at once; the package's
// functions join it when `ready` settles, since the WebAssembly module loads
// asynchronously.
//
//   const quorin = require("quorin");
//   await quorin.ready;
//   const plain = quorin.open(sealed, { keyFile });
"use strict";

const ready = import("./index.js").then((esm) => {
  for (const [name, value] of Object.entries(esm)) if (name !== "ready") module.exports[name] = value;
});
module.exports.ready = ready;
