// Every export used as a program would, checked by `tsc --strict` against
// index.d.ts: the results' exact types, the overloads, the errors.
import {
  AuthenticationError, BadArmourError, BadHeaderError, COSTS, CostLimitError, NotSealedError, OpenStream,
  Quorin, QuorinError, SealStream, SealedFileError, SecretKindError, TruncatedError, UnsupportedVersionError,
  Identity, Recipient, decode, kernel, encode, generateIdentity, open, ready, recipientOf, seal, sealedHeader, version,
  type Cost, type OpenOptions, type Result, type SealOptions, type SealedHeader,
} from "quorin";

await ready;
const keyFile = new Uint8Array(32);
const sealed: Result = await seal("attack at dawn", { keyFile, mode: "ofb", keySize: 192 });
const file = new File([sealed], "notes.qsl");  // results are plain ArrayBuffers, as Blob asks
const blob = new Blob([await seal("x", { keyFile })]);
const armoured: string = await seal(new Uint8Array(await file.arrayBuffer()), { keyFile, armour: true });
const stop = new AbortController();
const plain: Result = await open(armoured, { keyFile, signal: stop.signal });
const words: string = new TextDecoder().decode(plain);
await crypto.subtle.digest("SHA-256", plain);

const cost: Cost = COSTS.interactive;
const sealing: SealOptions = { passphrase: "correct horse", cost, recipients: "# us\nquorin1...\n" };
const opening: OpenOptions = { passphrase: "correct horse", costLimit: [4, 2 ** 30] };
const header: SealedHeader = sealedHeader(sealed);
const kinds: Array<"passphrase" | "keyFile" | "identity"> = header.kinds;
const me = generateIdentity();
const recipient: Recipient = recipientOf(me.identity);
const text: string = recipient.toString() + String(me.recipient);
{
  using mine: Identity = Identity.parse(me.identity.toString());
  const forMe: Result = await seal("to me", { recipients: [mine.recipient, Recipient.parse(text)] });
  await open(forMe, { identities: mine });
}
// @ts-expect-error: a recipient is no identity
await open(sealed, { identities: me.recipient });
// @ts-expect-error: options are checked by name (armour, not armor)
await seal("x", { keyFile, armor: true });

const streamed: ReadableStream<Result> = seal(new Blob([plain]).stream(), { keyFile });
const back: ReadableStream<Result> = open(streamed, { keyFile });
const through: ReadableStream<Result> = new Blob([plain]).stream().pipeThrough(new SealStream(sealing))
  .pipeThrough(new OpenStream(opening));
await new Response(back).arrayBuffer();

{
  using q = new Quorin({ mode: "cbc", keySize: 256 });  // closed at the end of the block
  q.initialise(keyFile);
  q.loadIV(new Uint8Array(16));
  const text: string = q.encryptString("x");
  const bytes: Result = q.decryptString(text);
  const block: Result = q.encryptBlock(bytes.subarray(0, 16));
  const mac: Result = q.mac();
  q.burn();
  void [block, mac];
}
const raw = new Quorin({ stringMode: "normal" });
const rawBytes: Result = raw.encryptString("x");
raw.close();
const armour: string = encode(rawBytes);
const decoded: Result = decode(armour);

try {
  await open(sealed, { passphrase: "wrong" });
} catch (e) {
  if (e instanceof QuorinError) {
    const code: string = e.code;
    const status: number = e.status;
    void [code, status];
  }
  for (const kind of [SealedFileError, NotSealedError, BadArmourError, UnsupportedVersionError, BadHeaderError,
                      CostLimitError, SecretKindError, AuthenticationError, TruncatedError])
    if (e instanceof kind) break;
}
void [words, kinds, recipient, through, decoded, blob, version(), kernel];
