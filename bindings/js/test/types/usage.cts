// The package from CommonJS: require, then its functions once `ready`.
import quorin = require("quorin");

async function main(): Promise<void> {
  await quorin.ready;
  const sealed: Uint8Array<ArrayBuffer> = await quorin.seal("x", { keyFile: new Uint8Array(32) });
  const error: typeof quorin.AuthenticationError = quorin.AuthenticationError;
  void [sealed, error];
}
void main();
