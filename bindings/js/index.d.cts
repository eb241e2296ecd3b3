// Type declarations of the quorin package for CommonJS (index.cjs): the
// same exports as the ES module's, present once `ready` has settled.
import type * as quorin from "./index.js";

declare const exported: typeof quorin;
export = exported;
