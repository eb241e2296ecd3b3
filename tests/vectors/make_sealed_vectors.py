#!/usr/bin/env python3
"""Writes tests/vectors/sealed/: the sealed format's conformance vectors.

Every file is built here from docs/sealed-format.md, with Python's hashlib
and hmac, PyNaCl (X25519, ChaCha20-Poly1305, Argon2id), cryptography
(Poly1305) and the Python package's component for RC6 alone; no sealing
code of the library is used. The "random" bytes of each file come from
BLAKE2b over the vector's name and a counter, so a run writes the same
files again. Run once, after a change to the set:

    QUORIN_C_LIBRARY=build/ci/lib/libquorin-c.so.2 PYTHONPATH=bindings/python \\
        python3 tests/vectors/make_sealed_vectors.py

A vector is a few header lines, an empty line, then the input bytes:

    quorin sealed vector
    description: what the case shows
    expect: success              (or the failure's kind, as listed below)
    plaintext-sha256: ...        (successes)
    passphrase: ... / passphrase-hex: ... / key-file: <hex> / identity: ...
    max-passes: N / max-memory-mib: N   (the opener's limits, when not 4 and 1024)

Kinds: not-sealed, bad-armour, unsupported-version, bad-header, cost-limit,
secret-kind, authentication, truncated.
"""
import base64
import hashlib
import hmac
import os
import shutil
import struct
import sys
from dataclasses import dataclass, field
from typing import Callable, List, Optional, Tuple

import nacl.bindings as sodium
from cryptography.hazmat.primitives.poly1305 import Poly1305

import quorin

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "sealed")
MAGIC = b"QUORSEAL"
MODES = {"cbc": 1, "cfb": 2, "ofb": 3}
FAST = (1, 8)  # Argon2id passes and KiB: the minimum, so that runners stay quick
BECH32 = "qpzry9x8gf2tvdw0s3jn54khce6mua7l"


# ------------------------------------------------------------ primitives

class Random:
    """Reproducible bytes: BLAKE2b(name || counter)."""

    def __init__(self, name: str) -> None:
        self.name, self.count = name.encode(), 0

    def __call__(self, n: int) -> bytes:
        out = b""
        while len(out) < n:
            out += hashlib.blake2b(self.name + struct.pack("<Q", self.count)).digest()
            self.count += 1
        return out[:n]


def blake2b(data: bytes, size: int, key: bytes = b"", salt: bytes = b"", person: bytes = b"") -> bytes:
    return hashlib.blake2b(data, digest_size=size, key=key, salt=salt, person=person).digest()


def kdf(root: bytes, size: int, ident: int, context: bytes) -> bytes:
    return blake2b(b"", size, key=root, salt=struct.pack("<Q", ident) + bytes(8),
                   person=context + bytes(8))


def argon2id(passphrase: bytes, salt: bytes, passes: int, kib: int) -> bytes:
    return sodium.crypto_pwhash_alg(32, passphrase, salt, passes, kib * 1024,
                                    sodium.crypto_pwhash_ALG_ARGON2ID13)


def rc6(mode: str, key: bytes, iv: bytes, data: bytes, pad: bool) -> bytes:
    """The component's stream encryption of data; without pad, data is whole
    blocks and no padding block is added."""
    q = quorin.Quorin(mode=mode, key_size=len(key) * 8, string_mode="normal")
    q.initialise(key)
    q.load_iv(iv)
    out = q.encrypt_string(data)
    return out if pad else out[:len(data)]


def bech32(prefix: str, data: bytes) -> str:
    values, acc, bits = [], 0, 0
    for b in data:
        acc, bits = acc << 8 | b, bits + 8
        while bits >= 5:
            bits -= 5
            values.append(acc >> bits & 31)
    if bits:
        values.append(acc << (5 - bits) & 31)

    def polymod(vs: List[int]) -> int:
        check = 1
        for v in vs:
            top, check = check >> 25, (check & 0x1ffffff) << 5 ^ v
            for i, g in enumerate([0x3b6a57b2, 0x26508e6d, 0x1ea119fa, 0x3d4233dd, 0x2a1462b3]):
                if top >> i & 1:
                    check ^= g
        return check

    expanded = [ord(c) >> 5 for c in prefix] + [0] + [ord(c) & 31 for c in prefix]
    mod = polymod(expanded + values + [0] * 6) ^ 1
    checksum = [mod >> 5 * (5 - i) & 31 for i in range(6)]
    return prefix + "1" + "".join(BECH32[v] for v in values + checksum)


def identity_text(secret: bytes) -> str:
    return bech32("quorin-identity-", secret).upper()


def public_of(secret: bytes) -> bytes:
    return sodium.crypto_scalarmult_base(secret)


# ------------------------------------------------------------ version 2

@dataclass
class Stanza:
    type: int
    body: bytes


def wrap(stype: int, fields: bytes, wrap_key: bytes, file_key: bytes) -> Stanza:
    ad = struct.pack("<H", stype) + fields
    return Stanza(stype, fields + sodium.crypto_aead_chacha20poly1305_ietf_encrypt(
        file_key, ad, bytes(12), wrap_key))


def passphrase_stanza(passphrase: bytes, file_key: bytes, rnd: Random,
                      costs: Tuple[int, int] = FAST) -> Stanza:
    salt = rnd(16)
    fields = struct.pack("<II", *costs) + salt
    return wrap(1, fields, argon2id(passphrase, salt, *costs), file_key)


def key_file_stanza(key: bytes, file_key: bytes, rnd: Random) -> Stanza:
    salt = rnd(16)
    return wrap(2, salt, blake2b(key, 32, salt=salt, person=b"QuorinKeyFile v2"), file_key)


def x25519_stanza(recipient: bytes, file_key: bytes, rnd: Random,
                  ephemeral_public: Optional[bytes] = None) -> Stanza:
    if ephemeral_public is None:
        e = rnd(32)
        ephemeral_public = public_of(e)
        shared = sodium.crypto_scalarmult(e, recipient)
    else:  # a crafted point: the wrap key is whatever, no opener derives it
        shared = bytes(32)
    key = blake2b(ephemeral_public + recipient, 32, key=shared, person=b"QuorinX25519 key")
    return wrap(3, ephemeral_public, key, file_key)


@dataclass
class V2:
    """A version 2 file, its parts kept so that cases can damage any of them."""
    plain: bytes
    mode: str = "cbc"
    bits: int = 256
    chunk: int = 64
    stanzas: List[Stanza] = field(default_factory=list)
    file_key: bytes = b""
    nonce: bytes = b""
    # Header fields as written (changed by cases to values no sealer writes).
    version: int = 2
    mode_byte: Optional[int] = None
    reserved1: int = 0
    reserved2: int = 0
    count: Optional[int] = None

    def head(self) -> bytes:
        count = len(self.stanzas) if self.count is None else self.count
        mode = MODES[self.mode] if self.mode_byte is None else self.mode_byte
        out = MAGIC + struct.pack("<HBBHHII", self.version, mode, self.reserved1, self.bits,
                                  count, self.chunk, self.reserved2) + self.nonce
        for s in self.stanzas:
            out += struct.pack("<HH", s.type, len(s.body)) + s.body
        return out

    def keys(self) -> Tuple[bytes, bytes, bytes, bytes]:
        root = blake2b(self.nonce, 32, key=self.file_key, person=b"QuorinPayload v2")
        return (kdf(root, 32, 1, b"QuorSea2"), kdf(root, self.bits // 8, 2, b"QuorSea2"),
                kdf(root, 32, 3, b"QuorSea2"), kdf(root, 32, 4, b"QuorSea2"))

    def chunks(self, pad: Optional[bytes] = None) -> List[bytes]:
        """The stored chunks' ciphertext; pad replaces the last chunk's padding."""
        _, enc, _, iv_key = self.keys()
        n = len(self.plain) // self.chunk + 1
        out = []
        for i in range(n):
            piece = self.plain[i * self.chunk:(i + 1) * self.chunk]
            iv = blake2b(struct.pack("<Q", i), 16, key=iv_key)
            if i < n - 1:
                out.append(rc6(self.mode, enc, iv, piece, False))
            elif pad is None:
                out.append(rc6(self.mode, enc, iv, piece, True))
            else:
                out.append(rc6(self.mode, enc, iv, piece + pad, False))
        return out

    def tag(self, header_mac: bytes, index: int, last: bool, chunk: bytes) -> bytes:
        one_time = blake2b(header_mac + struct.pack("<QB", index, last), 32, key=self.keys()[2],
                           person=b"QuorinChunkTagV2")
        return Poly1305.generate_tag(one_time, chunk)

    def sealed(self, chunks: Optional[List[Tuple[int, bool, bytes]]] = None,
               pad: Optional[bytes] = None) -> bytes:
        """The file; chunks (index, last, ciphertext) replaces the body."""
        head = self.head()
        header_mac = hmac.new(self.keys()[0], head, hashlib.sha256).digest()
        if chunks is None:
            body = self.chunks(pad)
            chunks = [(i, i == len(body) - 1, c) for i, c in enumerate(body)]
        out = head + header_mac
        for index, last, c in chunks:
            out += c + self.tag(header_mac, index, last, c)
        return out


def v2(name: str, plain: bytes, secrets: List[Tuple[str, object]], **fields: object) -> V2:
    """A version 2 file sealed for secrets: ("passphrase", bytes), ("key", bytes),
    ("recipient", public key), ("raw", Stanza-making function)."""
    rnd = Random(name)
    f = V2(plain, **fields)  # type: ignore[arg-type]
    f.file_key, f.nonce = rnd(32), rnd(16)
    for kind, value in secrets:
        if kind == "passphrase":
            f.stanzas.append(passphrase_stanza(value, f.file_key, rnd))  # type: ignore[arg-type]
        elif kind == "costly":
            pw, costs = value  # type: ignore[misc]
            f.stanzas.append(passphrase_stanza(pw, f.file_key, rnd, costs))
        elif kind == "key":
            f.stanzas.append(key_file_stanza(value, f.file_key, rnd))  # type: ignore[arg-type]
        elif kind == "recipient":
            f.stanzas.append(x25519_stanza(value, f.file_key, rnd))  # type: ignore[arg-type]
        else:
            f.stanzas.append(value(f.file_key, rnd))  # type: ignore[operator]
    return f


# ------------------------------------------------------------ version 1

def v1(name: str, plain: bytes, kind: str, secret: bytes, mode: str = "cbc", bits: int = 256,
       chunk: int = 64, costs: Tuple[int, int] = FAST, fields: Optional[dict] = None) -> bytes:
    rnd = Random(name)
    salt, iv = rnd(16), rnd(16)
    h = {"version": 1, "mode": MODES[mode], "kind": 1 if kind == "passphrase" else 2,
         "bits": bits, "reserved1": 0, "chunk": chunk,
         "passes": costs[0] if kind == "passphrase" else 0,
         "kib": costs[1] if kind == "passphrase" else 0, "reserved2": 0}
    h.update(fields or {})
    header = MAGIC + struct.pack("<HBBHHIIII", h["version"], h["mode"], h["kind"], h["bits"],
                                 h["reserved1"], h["chunk"], h["passes"], h["kib"],
                                 h["reserved2"]) + salt + iv
    if kind == "passphrase":
        master = argon2id(secret, salt, costs[0], costs[1])
    else:
        master = blake2b(secret, 32, key=salt)
    enc, mac = kdf(master, bits // 8, 1, b"QuorSeal"), kdf(master, 32, 2, b"QuorSeal")
    body = rc6(mode, enc, iv, plain, True)
    out, pieces = header, [body[i:i + chunk] for i in range(0, len(body), chunk)]
    for i, piece in enumerate(pieces):
        last = i == len(pieces) - 1
        out += piece + hmac.new(mac, header + struct.pack("<QB", i, last) + piece,
                                hashlib.sha256).digest()
    return out


# ------------------------------------------------------------ the vectors

@dataclass
class Vector:
    name: str
    description: str
    data: bytes
    expect: str  # "success" or a failure's kind
    plain: bytes = b""
    offer: List[Tuple[str, str]] = field(default_factory=list)  # (header key, value)


VECTORS: List[Vector] = []


def add(name: str, description: str, data: bytes, expect: str, offer: List[Tuple[str, str]],
        plain: bytes = b"") -> None:
    assert not any(v.name == name for v in VECTORS), name
    VECTORS.append(Vector(name, description, data, expect, plain, offer))


def text_of(n: int, seed: str) -> bytes:
    return Random("plaintext " + seed)(n)


PASSPHRASE = b"correct horse battery staple"
KEY = bytes(range(32))
OTHER_KEY = bytes(range(100, 132))
ID_SECRET = Random("identity")(32)
ID = public_of(ID_SECRET)
OTHER_ID_SECRET = Random("other identity")(32)


def pw(p: bytes = PASSPHRASE) -> Tuple[str, str]:
    return ("passphrase", p.decode()) if p.isascii() and p.decode().isprintable() else ("passphrase-hex", p.hex())


def key(k: bytes = KEY) -> Tuple[str, str]:
    return ("key-file", k.hex())


def ident(secret: bytes = ID_SECRET, lower: bool = False) -> Tuple[str, str]:
    text = identity_text(secret)
    return ("identity", text.lower() if lower else text)


def armour(data: bytes, width: int = 64, eol: str = "\n") -> bytes:
    b64 = base64.b64encode(data).decode()
    lines = [b64[i:i + width] for i in range(0, len(b64), width)]
    return ("-----BEGIN QUORIN SEALED FILE-----" + eol + "".join(l + eol for l in lines)
            + "-----END QUORIN SEALED FILE-----" + eol).encode()


def successes() -> None:
    # Every mode, key size and kind of secret, the body crossing chunks.
    for mode in MODES:
        for bits in (128, 192, 256):
            for kind in ("passphrase", "key", "recipient"):
                name = "v2-%s-%d-%s" % (mode, bits, {"key": "keyfile", "recipient": "x25519"}.get(kind, kind))
                plain = text_of(150 + bits // 8, name)
                secret = {"passphrase": PASSPHRASE, "key": KEY, "recipient": ID}[kind]
                offer = {"passphrase": pw(), "key": key(), "recipient": ident()}[kind]
                f = v2(name, plain, [(kind, secret)], mode=mode, bits=bits)
                add(name, "%s, %d-bit key, one %s stanza, 64-byte chunks" % (mode.upper(), bits, kind),
                    f.sealed(), "success", [offer], plain)
            name = "v1-%s-%d" % (mode, bits)
            for kind, secret, offer in (("passphrase", PASSPHRASE, pw()), ("key", KEY, key())):
                n = name + ("-passphrase" if kind == "passphrase" else "-keyfile")
                plain = text_of(130 + bits // 16, n)
                add(n, "version 1, %s, %d-bit key, a %s, 64-byte chunks" % (mode.upper(), bits,
                                                                             "passphrase" if kind == "passphrase" else "key file"),
                    v1(n, plain, kind, secret, mode, bits), "success", [offer], plain)
    # Lengths at every edge of blocks and chunks.
    for n in (0, 1, 15, 16, 17, 47, 48, 63, 64, 65, 127, 128, 129, 1000):
        name = "v2-length-%d" % n
        plain = text_of(n, name)
        add(name, "%d bytes of plaintext in 64-byte chunks" % n,
            v2(name, plain, [("key", KEY)]).sealed(), "success", [key()], plain)
    for n in (0, 16, 64, 65):
        name = "v1-length-%d" % n
        plain = text_of(n, name)
        add(name, "version 1, %d bytes of plaintext in 64-byte chunks" % n,
            v1(name, plain, "key", KEY), "success", [key()], plain)
    for chunk in (16, 48, 65536, 1 << 20):
        name = "v2-chunk-%d" % chunk
        plain = text_of(200, name)
        add(name, "chunks of %d bytes (16 is the least, 1 MiB the most)" % chunk,
            v2(name, plain, [("key", KEY)], chunk=chunk).sealed(), "success", [key()], plain)
    # Several stanzas: each secret opens alone.
    three = v2("v2-three", text_of(300, "three"), [("passphrase", PASSPHRASE), ("key", KEY), ("recipient", ID)])
    for offer in (pw(), key(), ident()):
        add("v2-three-by-" + offer[0].split("-")[0], "passphrase, key file and X25519 stanzas; opened with the %s alone" % offer[0],
            three.sealed(), "success", [offer], three.plain)
    add("v2-three-wrong-and-right", "a wrong key file and the right passphrase: the first secret that opens is used",
        three.sealed(), "success", [key(OTHER_KEY), pw()], three.plain)
    many = v2("v2-many-recipients", text_of(100, "many"),
              [("recipient", public_of(Random("r%d" % i)(32))) for i in range(5)] + [("recipient", ID)])
    add("v2-many-recipients", "six X25519 stanzas, the identity's the last", many.sealed(), "success", [ident()], many.plain)
    add("v2-identity-lower-case", "the identity printed in lower case opens too",
        many.sealed(), "success", [ident(lower=True)], many.plain)
    two_keys = v2("v2-two-keys", text_of(100, "two keys"), [("key", OTHER_KEY), ("key", KEY)])
    add("v2-two-key-files", "two key-file stanzas; the second key opens", two_keys.sealed(), "success", [key()], two_keys.plain)
    unknown = v2("v2-unknown-stanza", text_of(100, "unknown"),
                 [("raw", lambda fk, r: Stanza(99, r(40))), ("key", KEY)])
    add("v2-unknown-stanza-skipped", "a stanza of an unknown type (99) is skipped", unknown.sealed(), "success", [key()], unknown.plain)
    for size in (16, 300, 1024):
        name = "v2-key-file-%d" % size
        k = Random(name)(size)
        f = v2(name, text_of(100, name), [("key", k)])
        add(name, "a key file of %d bytes" % size, f.sealed(), "success", [key(k)], f.plain)
    for name, p in (("v2-passphrase-1-byte", b"x"), ("v2-passphrase-1024-bytes", b"p" * 1024),
                    ("v2-passphrase-utf8", "Straße 🐴 correct".encode())):
        f = v2(name, text_of(100, name), [("passphrase", p)])
        add(name, "a passphrase of %d bytes, as given" % len(p), f.sealed(), "success", [pw(p)], f.plain)
    f = v2("v2-raised-limit", text_of(50, "raised"), [("costly", (PASSPHRASE, (5, 8)))])
    add("v2-raised-limit", "5 passes, opened with the limit raised to 5", f.sealed(), "success",
        [pw(), ("max-passes", "5")], f.plain)
    # Armour.
    f = v2("v2-armour", text_of(200, "armour"), [("key", KEY)])
    sealed, plain = f.sealed(), f.plain
    framed = armour(sealed)
    lines = framed.decode().splitlines(keepends=True)
    for name, text, what in (
            ("armour-plain", framed, "framed as quorin seal -a writes it"),
            ("armour-in-mail", b"Hello,\n\nthe file:\n\n" + framed + b"\n-- \nme\n", "with mail around it"),
            ("armour-quoted", "".join("> " + l for l in lines).encode(), "quoted in a reply (\"> \")"),
            ("armour-quoted-twice", "".join(">> " + l for l in lines).encode(), "quoted twice"),
            ("armour-crlf", armour(sealed, eol="\r\n"), "with CRLF line ends"),
            ("armour-byte-order-mark", b"\xef\xbb\xbf" + framed, "after a UTF-8 byte-order mark"),
            ("armour-76-columns", armour(sealed, 76), "in lines of 76 characters"),
            ("armour-no-final-newline", framed.rstrip(b"\n"), "without a final line end"),
            ("armour-spaces", framed.replace(b"\n", b"  \n").replace(b"-----  \n", b"-----\n"), "with trailing spaces"),
    ):
        add(name, "the armour " + what, text, "success", [key()], plain)
    v1armour = v1("armour-v1", text_of(70, "armour v1"), "passphrase", PASSPHRASE)
    add("armour-v1", "a version 1 file in armour", armour(v1armour), "success", [pw()], text_of(70, "armour v1"))


def failures() -> None:
    base = v2("base", text_of(200, "base"), [("key", KEY)])
    sealed, head_len = base.sealed(), len(base.head())
    stored = base.chunk + 16
    k = [key()]
    # Not sealed at all.
    for name, data, what in (("empty", b"", "an empty input"),
                             ("binary", Random("binary")(300), "random bytes"),
                             ("text", b"just some text\nwithout armour\n", "text with no BEGIN line"),
                             ("magic-altered", b"QUORSEAM" + sealed[8:], "the magic's last letter changed"),
                             ("encrypt-output", Random("rc6")(64), "what quorin encrypt writes: no magic")):
        add("not-sealed-" + name, "not a sealed file: " + what, data, "not-sealed", k)
    # Versions.
    for version in (0, 3, 0x0102):
        f = v2("base", base.plain, [("key", KEY)], version=version)
        add("version-%d" % version, "format version %d" % version, f.sealed(), "unsupported-version", k)
    # Damaged header fields: each is checked as the header is read, before
    # any secret is tried.
    damaged = {"mode-0": (10, "<B", 0), "mode-4": (10, "<B", 4), "reserved-byte": (11, "<B", 1),
               "key-bits-100": (12, "<H", 100), "stanza-count-0": (14, "<H", 0),
               "chunk-0": (16, "<I", 0), "chunk-8": (16, "<I", 8), "chunk-24": (16, "<I", 24),
               "chunk-over-1-mib": (16, "<I", (1 << 20) + 16), "reserved-word": (20, "<I", 1)}
    for name, (at, form, value) in damaged.items():
        packed = struct.pack(form, value)
        data = sealed[:at] + packed + sealed[at + len(packed):]
        add("header-" + name, "a damaged header: " + name.replace("-", " "), data, "bad-header", k)
    too_many = v2("many", base.plain, [("key", Random("k%d" % i)(32)) for i in range(64)] + [("key", KEY)])
    add("header-65-stanzas", "65 stanzas (64 at most)", too_many.sealed(), "bad-header", k)
    long_stanza = v2("long", base.plain, [("raw", lambda fk, r: Stanza(99, r(4097))), ("key", KEY)])
    add("header-stanza-4097-bytes", "an unknown stanza of 4097 bytes (4096 at most)", long_stanza.sealed(), "bad-header", k)
    for t, length in ((1, 71), (2, 65), (3, 79)):
        f = v2("len", base.plain, [("raw", lambda fk, r, t=t, n=length: Stanza(t, r(n))), ("key", KEY)])
        add("header-stanza-type-%d-length-%d" % (t, length), "a known stanza type with a body of another length",
            f.sealed(), "bad-header", k)
    two = v2("two", base.plain, [("passphrase", PASSPHRASE), ("passphrase", b"another")])
    add("header-two-passphrases", "two passphrase stanzas (one at most)", two.sealed(), "bad-header", [pw()])
    for name, costs in (("passes-0", (0, 8)), ("memory-4-kib", (1, 4))):
        f = v2("costs", base.plain, [("raw", lambda fk, r, c=costs: Stanza(1, struct.pack("<II", *c) + r(64)))])
        add("header-passphrase-" + name, "passphrase costs below Argon2id's minimum", f.sealed(), "bad-header", [pw()])
    # Costs beyond the opener's limits, refused before any hashing.
    for name, costs, limit in (("passes-5", (5, 8), []), ("memory-2-gib", (1, 2 << 20), []),
                               ("limit-lowered", (2, 64 << 10), [("max-memory-mib", "32")])):
        f = v2("cost", base.plain, [("raw", lambda fk, r, c=costs: Stanza(1, struct.pack("<II", *c) + r(64)))])
        add("cost-" + name, "passphrase costs beyond the opener's limits", f.sealed(), "cost-limit", [pw()] + limit)
    f = v2("cost-and-key", base.plain, [("key", KEY), ("raw", lambda fk, r: Stanza(1, struct.pack("<II", 9, 8) + r(64)))])
    add("cost-before-key", "costs beyond the limits win over a key file that would open", f.sealed(), "cost-limit", k)
    # No secret of a kind the file lists.
    add("kind-key-for-passphrase", "sealed for a passphrase, offered a key file",
        v2("kp", base.plain, [("passphrase", PASSPHRASE)]).sealed(), "secret-kind", k)
    add("kind-passphrase-for-identity", "sealed for an X25519 recipient, offered a passphrase",
        v2("kx", base.plain, [("recipient", ID)]).sealed(), "secret-kind", [pw()])
    add("kind-identity-for-key", "sealed for a key file, offered an identity", sealed, "secret-kind", [ident()])
    add("kind-only-unknown", "only stanzas of unknown types", v2("ku", base.plain, [("raw", lambda fk, r: Stanza(77, r(30)))]).sealed(),
        "secret-kind", k)
    add("kind-v1-key-for-passphrase", "version 1 for a passphrase, offered a key file",
        v1("k1", base.plain, "passphrase", PASSPHRASE), "secret-kind", k)
    # Wrong secrets.
    add("wrong-key-file", "a wrong key file", sealed, "authentication", [key(OTHER_KEY)])
    add("wrong-passphrase", "a wrong passphrase", v2("wp", base.plain, [("passphrase", PASSPHRASE)]).sealed(),
        "authentication", [pw(b"wrong horse")])
    add("wrong-identity", "a wrong identity", v2("wi", base.plain, [("recipient", ID)]).sealed(),
        "authentication", [ident(OTHER_ID_SECRET)])
    add("wrong-v1-key-file", "version 1, a wrong key file", v1("w1", base.plain, "key", KEY), "authentication", [key(OTHER_KEY)])
    add("wrong-v1-passphrase", "version 1, a wrong passphrase", v1("w1p", base.plain, "passphrase", PASSPHRASE),
        "authentication", [pw(b"wrong")])
    for name, point in (("zero", bytes(32)), ("one", b"\x01" + bytes(31)),
                        ("order-8", bytes.fromhex("e0eb7a7c3b41b8ae1656e3faf19fc46ada098deb9c32b1fd866205165f49b800"))):
        f = v2("low", base.plain, [("raw", lambda fk, r, p=point: x25519_stanza(ID, fk, r, p))])
        add("x25519-low-order-" + name, "an ephemeral key of low order (%s): the stanza never opens" % name,
            f.sealed(), "authentication", [ident()])
    # The header altered after sealing: the stanza opens, the MAC fails.
    for at, what in ((24, "nonce"), (head_len, "header MAC"), (head_len + 31, "header MAC's last byte")):
        add("altered-%s" % what.replace(" ", "-").replace("'", ""), "the %s altered" % what, flip(sealed, at), "authentication", k)
    add("altered-stanza-salt", "the key-file stanza's salt altered: the stanza no longer opens",
        flip(sealed, 44), "authentication", k)
    add("altered-wrapped-key", "the wrapped file key altered", flip(sealed, 44 + 20), "authentication", k)
    # The body.
    body = head_len + 32
    chunks = base.chunks()
    n = len(chunks)
    for at, what in ((body, "first chunk's first byte"), (body + stored - 1, "first chunk's tag"),
                     (body + stored + 10, "second chunk"), (len(sealed) - 1, "last tag's last byte"),
                     (len(sealed) - 17, "last chunk's last byte")):
        add("altered-" + what.replace(" ", "-").replace("'", ""), "the %s altered" % what, flip(sealed, at), "authentication", k)
    def body_of(order: List[Tuple[int, bool, int]]) -> bytes:
        return base.sealed([(i, last, chunks[c]) for i, last, c in order])
    add("chunks-reordered", "chunks 0 and 1 swapped", sealed[:body] + sealed[body + stored:body + 2 * stored]
        + sealed[body:body + stored] + sealed[body + 2 * stored:], "authentication", k)
    add("chunk-dropped", "the second chunk dropped", sealed[:body + stored] + sealed[body + 2 * stored:], "authentication", k)
    add("chunk-duplicated", "the first chunk repeated", sealed[:body + stored] + sealed[body:], "authentication", k)
    add("last-flag-forged", "a middle chunk tagged as the last, with the rest dropped",
        body_of([(0, False, 0), (1, True, 1)]), "authentication", k)
    add("last-flag-missing", "the last chunk tagged as not last", body_of([(i, False, i) for i in range(n)]),
        "truncated", k)
    add("chunk-of-another-file", "a chunk from another file with the same key",
        sealed[:body] + v2("other", base.plain, [("key", KEY)]).sealed()[body:body + stored] + sealed[body + stored:],
        "authentication", k)
    # Truncation and extension at each boundary.
    for cut, what, kind in ((4, "inside the magic", "truncated"), (9, "inside the version", "truncated"),
                            (30, "inside the fixed header", "truncated"), (50, "inside a stanza", "truncated"),
                            (head_len + 10, "inside the header MAC", "truncated"),
                            (head_len + 32, "right after the header MAC", "truncated"),
                            (body + 20, "inside the first chunk", "truncated"),
                            (body + stored, "after the first chunk", "truncated"),
                            (body + stored - 8, "inside the first tag", "truncated"),
                            (len(sealed) - 16, "before the last tag", "truncated"),
                            (len(sealed) - 1, "one byte short", "truncated")):
        add("truncated-%d" % cut, "cut %s (%d bytes)" % (what, cut), sealed[:cut], kind, k)
    add("extended-16", "16 bytes appended", sealed + bytes(16), "authentication", k)
    add("extended-3", "3 bytes appended", sealed + b"abc", "authentication", k)
    add("extended-chunk", "a whole stored chunk appended", sealed + sealed[body:body + stored], "authentication", k)
    # Padding that no sealer writes, under tags that match.
    for name, pad in (("zero", bytes(8)), ("seventeen", bytes([17]) * 8), ("mixed", bytes([8] * 7 + [7]))):
        f = V2(base.plain[:56], stanzas=base.stanzas, file_key=base.file_key, nonce=base.nonce)
        add("padding-" + name, "the last block's padding is invalid (%s) under a matching tag" % name,
            f.sealed(pad=pad), "authentication", k)
    # Version 1.
    one = v1("v1", base.plain, "key", KEY)
    for name, fields in (("kind-3", {"kind": 3}), ("mode-0", {"mode": 0}), ("reserved", {"reserved1": 1}),
                         ("chunk-8", {"chunk": 8}), ("costs-on-key-file", {"passes": 2, "kib": 8})):
        add("v1-header-" + name, "version 1, a damaged header: " + name, v1("v1", base.plain, "key", KEY, fields=fields),
            "bad-header", k)
    add("v1-cost-passes-5", "version 1, 5 passes", v1("v1c", base.plain, "passphrase", PASSPHRASE, costs=(5, 8)),
        "cost-limit", [pw()])
    add("v1-altered-chunk", "version 1, a chunk altered", flip(one, 64 + 3), "authentication", k)
    add("v1-altered-header", "version 1, the salt altered", flip(one, 40), "authentication", k)
    add("v1-truncated-header", "version 1, cut inside the header", one[:40], "truncated", k)
    add("v1-truncated-after-header", "version 1, cut after the header", one[:64], "truncated", k)
    add("v1-truncated-chunk", "version 1, cut at a chunk boundary", one[:64 + 96], "truncated", k)
    add("v1-chunks-reordered", "version 1, chunks swapped", one[:64] + one[160:256] + one[64:160] + one[256:],
        "authentication", k)
    # Armour damage, early in the text or at its end: an opener checks the
    # armour as it reads, so damage after the first bytes of a file that
    # fails may be found after the file's own failure.
    text = armour(sealed)
    lines = text.split(b"\n")
    for name, data, what in (
            ("no-end", b"\n".join(lines[:-2]) + b"\n", "no END line"),
            ("stray-character", text.replace(lines[2], lines[2][:5] + b"*" + lines[2][6:]), "a character outside base64"),
            ("second-begin", lines[0] + b"\n" + text, "a second BEGIN line"),
            ("second-block", text + text, "a second armoured block"),
            ("length", b"\n".join(lines[:-3] + [lines[-3].rstrip(b"=")[:-1] + b"=="] + lines[-2:]),
             "a length that is not a multiple of four"),
            ("after-padding", b"\n".join([lines[0], lines[1][:62] + b"=="] + lines[2:]), "base64 after padding"),
            ("utf-16", b"\xff\xfe" + text.decode().encode("utf-16-le"), "UTF-16 text"),
            ("cut-in-line", text[:len(text) // 2], "text cut in the middle"),
    ):
        add("armour-" + name, "armour damaged: " + what, data, "bad-armour", k)
    add("armour-end-only", "an END line without a BEGIN line: no armour at all", b"\n".join(lines[1:]), "not-sealed", k)
    inner = sealed[:len(sealed) - 5]
    add("armour-of-truncated-file", "whole armour of a truncated file: the file's failure", armour(inner), "truncated", k)
    add("armour-of-altered-file", "whole armour of an altered file", armour(flip(sealed, body + 3)), "authentication", k)
    # Which failure is reported when several apply: the header's first.
    add("order-version-over-secret", "version 3 and a wrong key: the version",
        v2("base", base.plain, [("key", KEY)], version=3).sealed(), "unsupported-version", [key(OTHER_KEY)])
    add("order-header-over-kind", "a damaged mode and no key file offered: the header",
        v2("base", base.plain, [("key", KEY)], mode_byte=9).sealed(), "bad-header", [pw()])
    add("order-kind-over-truncation", "cut short and no secret of its kind: the kind",
        sealed[:len(sealed) - 30], "secret-kind", [pw()])
    add("order-secret-over-body", "a wrong key and an altered chunk: the secret",
        flip(sealed, body + 2), "authentication", [key(OTHER_KEY)])


def flip(data: bytes, at: int) -> bytes:
    out = bytearray(data)
    out[at] ^= 0x01
    return bytes(out)


def write() -> None:
    if os.path.isdir(OUT):
        shutil.rmtree(OUT)
    os.makedirs(OUT)
    for v in VECTORS:
        lines = ["quorin sealed vector", "description: " + v.description, "expect: " + v.expect]
        if v.expect == "success":
            lines.append("plaintext-sha256: " + hashlib.sha256(v.plain).hexdigest())
        lines += ["%s: %s" % o for o in v.offer]
        with open(os.path.join(OUT, v.name + ".qsv"), "wb") as f:
            f.write(("\n".join(lines) + "\n\n").encode() + v.data)
    print("%d vectors in %s" % (len(VECTORS), OUT), file=sys.stderr)


if __name__ == "__main__":
    successes()
    failures()
    write()
