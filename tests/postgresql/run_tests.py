#!/usr/bin/env python3
"""The PostgreSQL extension against a server of its own: the regression SQL
and its expected output, a server log free of keys, the SQL functions beside
the Python package in every mode and key size, the example of
docs/postgresql.md, and a table of a million armoured values decrypted in
SQL by parallel workers.

Usage: run_tests.py EXTENSION_DIR LIBRARY_DIR [ROWS]
(the Python package is found through PYTHONPATH and QUORIN_C_LIBRARY), or
run_tests.py --installed: the installed package in Debian's own server."""

import random
import subprocess
import sys
from pathlib import Path
from typing import List, Sequence


from pg_server import Server, pg_config

HERE = Path(__file__).resolve().parent
DATA = HERE.parent / "data"
sys.path.insert(0, str(HERE.parent / "docs"))
from examples import blocks  # noqa: E402
MODES = ("ecb", "cbc", "cfb", "ofb")


def copy_rows(server: Server, database: str, table: str, rows: Sequence[Sequence[str]]) -> None:
    server.psql(f"COPY {table} FROM STDIN", database, stdin="".join(
        "\t".join(row) + "\n" for row in rows))


def hex_bytea(value: bytes) -> str:
    return "\\\\x" + value.hex()


def new_database(server: Server, name: str) -> None:
    server.psql(f"CREATE DATABASE {name}")
    server.psql("CREATE EXTENSION quorin", name)


def load_tables(server: Server, database: str) -> None:
    server.psql("CREATE TABLE rc6_vectors (mode text, key_bytes int, key bytea, iv bytea, "
                "plaintext bytea, ciphertext bytea); "
                "CREATE TABLE sealed_files (name text, data bytea)", database)
    vectors = [line.split() for line in (DATA / "rc6-modes.vec").read_text().splitlines()
               if line and not line.startswith("#")]
    copy_rows(server, database, "rc6_vectors",
              [[v[0].lower(), v[1]] + [hex_bytea(bytes.fromhex(h)) for h in v[2:]]
               for v in vectors])
    files = ["sealed-v2-identity.qsl", "sealed-v2-keyfile.qsl", "sealed-passphrase.qsl",
             "sealed-kat.txt"]
    copy_rows(server, database, "sealed_files",
              [[name, hex_bytea((DATA / name).read_bytes())] for name in files])


def write_secrets(server: Server) -> Path:
    folder = server.root / "secrets"
    folder.mkdir()
    contents = {
        "component.key": bytes(range(16)),
        "sealed.key": (DATA / "sealed-kat.key").read_bytes(),
        "identity": (DATA / "sealed-kat.identity").read_bytes(),
        "empty": b"",
        "long": b"a" * 2000,
        "short": b"a" * 15,
        "other_identity": (DATA / "second.identity").read_bytes(),
    }
    for name, content in contents.items():
        (folder / name).write_bytes(content)
        server.give_to_server(folder / name)
    server.give_to_server(folder)
    folder.chmod(0o700)
    return folder


def regression(server: Server) -> Path:
    database = "quorin_regress"
    server.psql(f"CREATE DATABASE {database}")
    load_tables(server, database)
    secrets = write_secrets(server)
    out = server.root / "regress"
    out.mkdir()
    pg_regress = Path(pg_config("--pgxs")).parent.parent / "test" / "regress" / "pg_regress"
    env = server.client_env(database)
    env["QUORIN_PG_SECRETS"] = str(secrets)
    result = subprocess.run([str(pg_regress), "--use-existing", f"--bindir={server.bindir}",
                             f"--host={server.socket_dir}", "--port=5432",
                             f"--user={server.user}", f"--inputdir={HERE}",
                             f"--outputdir={out}", f"--dbname={database}", "quorin"],
                            env=env, capture_output=True, text=True)
    print(result.stdout, end="")
    if result.returncode != 0:
        diffs = out / "regression.diffs"
        print(diffs.read_text() if diffs.exists() else result.stderr)
        print(server.server_log()[-3000:])
        raise SystemExit("the regression output differs from the expected output")

    log = server.server_log()
    if "feedface" in log.lower() or "FEEDFACE" in log:
        raise SystemExit("a key reached the server log:\n" + log)
    if "quorin_decrypt: " not in log:
        raise SystemExit("the errors did not reach the server log:\n" + log)
    return secrets


def beside_python(server: Server) -> None:
    """Every mode, key size and form: SQL gives what the Python package gives."""
    import quorin
    database = "quorin_oracle"
    new_database(server, database)
    server.psql("CREATE TABLE t (mode text, key_bits int, armoured bool, key bytea, iv bytea, "
                "plain bytea, cipher_raw bytea, cipher_text text)", database)
    rng = random.Random(34)
    rows: List[List[str]] = []
    for mode in MODES:
        for key_bits in (128, 192, 256):
            for armoured in (False, True):
                key = rng.randbytes(rng.randint(1, 40))
                iv = rng.randbytes(16) if mode != "ecb" else b""
                plains = [rng.randbytes(rng.randint(0, 80)) for _ in range(100)]
                form = "encode" if armoured else "normal"
                ciphers = quorin.encrypt_strings(plains, key, iv or None, mode=mode,
                                                 key_size=key_bits, string_mode=form)
                for plain, cipher in zip(plains, ciphers):
                    rows.append([mode, str(key_bits), str(armoured).lower(), hex_bytea(key),
                                 hex_bytea(iv), hex_bytea(plain),
                                 "\\N" if armoured else hex_bytea(cipher),
                                 cipher if armoured else "\\N"])
    copy_rows(server, database, "t", rows)
    wrong = server.psql(
        "SELECT count(*) FROM t WHERE CASE WHEN armoured THEN "
        " quorin_encrypt_text(plain, key, iv, mode, key_bits) IS DISTINCT FROM cipher_text "
        " OR quorin_decrypt_text(cipher_text, key, iv, mode, key_bits) IS DISTINCT FROM plain "
        "ELSE quorin_encrypt(plain, key, iv, mode, key_bits) IS DISTINCT FROM cipher_raw "
        " OR quorin_decrypt(cipher_raw, key, iv, mode, key_bits) IS DISTINCT FROM plain END",
        database)
    if wrong != "0":
        raise SystemExit(f"{wrong} of {len(rows)} values differ from the Python package's")
    print(f"beside Python: {len(rows)} values in 4 modes, 3 key sizes, raw and armoured agree")


def documented(server: Server, secrets: Path) -> None:
    """The documentation's example as it stands, on a legacy table holding a
    value the component wrote, with its key file and a real recipient in
    place of the placeholders."""
    import quorin
    database = "quorin_docs"
    server.psql(f"CREATE DATABASE {database}")
    key = bytes.fromhex("00112233445566778899aabbccddeeff")
    iv = bytes(range(16))
    plain = "caf\u00e9 at noon"
    secret = quorin.encrypt_strings([plain.encode("cp1252")], key, iv, mode="cbc")[0]
    (secrets / "legacy.key").write_bytes(key)
    server.give_to_server(secrets / "legacy.key")
    me = quorin.generate_identity()
    (secrets / "legacy.identity").write_text(str(me) + "\n")
    server.give_to_server(secrets / "legacy.identity")
    (line, sql), = blocks(HERE.parent.parent / "docs" / "postgresql.md", "sql")
    sql = sql.replace("/etc/quorin/legacy.key", str(secrets / "legacy.key"))
    sql = sql.replace("quorin1...", str(me.recipient))
    server.psql(sql.split(";", 1)[0], database)  # CREATE EXTENSION
    server.psql("CREATE TABLE legacy (id int, secret text, sealed bytea)", database)
    server.psql(f"INSERT INTO legacy VALUES (1, '{secret}', NULL)", database)
    shown = server.psql(sql.split(";", 1)[1], database)
    opened = server.psql("SELECT convert_from(quorin_open_identityfile(sealed, "
                         f"'{secrets / 'legacy.identity'}'), 'WIN1252') FROM legacy", database)
    if f"1|{plain}" not in shown or opened != plain:
        raise SystemExit(f"the example at postgresql.md:{line} showed {shown!r}, "
                         f"opened {opened!r}")
    print("the documented example decrypts the legacy value and seals it")


def million(server: Server, rows: int) -> None:
    """A column of armoured CBC values, each with the IV restarted, as a
    stored column holds them: decrypted in SQL by parallel workers."""
    import quorin
    database = "quorin_million"
    new_database(server, database)
    server.psql("CREATE TABLE big (id int, plain bytea, cipher text)", database)
    rng = random.Random(1)
    key, iv = rng.randbytes(16), rng.randbytes(16)
    plains = [rng.randbytes(rng.randint(1, 48)) for _ in range(rows)]
    ciphers = quorin.encrypt_strings(plains, key, iv, mode="cbc")
    if quorin.decrypt_strings(ciphers, key, iv, mode="cbc") != plains:
        raise SystemExit("the Python package does not decrypt its own column")
    copy_rows(server, database, "big", ([str(i), hex_bytea(p), c]
                                        for i, p, c in zip(range(rows), plains, ciphers)))
    server.psql("ANALYZE big", database)
    args = f"'{hex_bytea(key)[1:]}'::bytea, '{hex_bytea(iv)[1:]}'::bytea, 'cbc', 128"
    parallel = ("SET max_parallel_workers_per_gather = 2; SET parallel_setup_cost = 0; "
                "SET min_parallel_table_scan_size = 0; ")
    plan = server.psql(parallel + "EXPLAIN SELECT count(*) FROM big "
                       f"WHERE quorin_decrypt_text(cipher, {args}) IS DISTINCT FROM plain",
                       database)
    if "Workers Planned: 2" not in plan:
        raise SystemExit("no parallel plan:\n" + plan)
    wrong = server.psql(parallel + "SELECT count(*) FROM big "
                        f"WHERE quorin_decrypt_text(cipher, {args}) IS DISTINCT FROM plain "
                        f"OR quorin_encrypt_text(plain, {args}) IS DISTINCT FROM cipher",
                        database)
    total = server.psql(parallel + f"SELECT sum(length(quorin_decrypt_text(cipher, {args}))) "
                        "FROM big", database)
    if wrong != "0" or int(total) != sum(map(len, plains)):
        raise SystemExit(f"{wrong} of {rows} rows differ from Python's; lengths {total}")
    print(f"{rows} rows: SQL on parallel workers gives Python's result")


def installed() -> None:
    with Server(None, None) as server:
        new_database(server, "quorin_installed")
        value = server.psql("SELECT convert_from(quorin_decrypt_text(quorin_encrypt_text("
                            "'installed', 'k', 'iv', 'cbc', 128), 'k', 'iv', 'cbc', 128), 'UTF8')",
                            "quorin_installed")
        if value != "installed":
            raise SystemExit(f"the installed extension gave {value!r}")
        print("CREATE EXTENSION quorin works in the installed server")


def main(argv: List[str]) -> None:
    if argv[1:] == ["--installed"]:
        installed()
        return
    extension_dir, library_dir = Path(argv[1]).resolve(), Path(argv[2]).resolve()
    rows = int(argv[3]) if len(argv) > 3 else 1_000_000
    with Server(extension_dir, library_dir) as server:
        secrets = regression(server)
        beside_python(server)
        documented(server, secrets)
        million(server, rows)


if __name__ == "__main__":
    main(sys.argv)
