"""A PostgreSQL server of its own, for the extension's tests and benchmark.

initdb into a temporary folder and a server listening only on a socket in
a private folder, so that nothing else on the machine can reach it and no
port is shared. The server refuses to run as root: as root, it runs as
"nobody". The extension is used without installing it: the server runs from
a copy of its programs in a tree laid out as Debian's, whose share and
module folders link to the system's files and add the extension's (the
server finds both folders relative to its own program).
"""

import os
import shutil
import subprocess
import tempfile
from pathlib import Path
from typing import Dict, List, Optional, Sequence

PG_CONFIG = os.environ.get("PG_CONFIG", "pg_config")


def pg_config(flag: str) -> str:
    return subprocess.run([PG_CONFIG, flag], check=True, capture_output=True,
                          text=True).stdout.strip()


def _mirror(system: Path, tree: Path, extra: Sequence[Path]) -> None:
    """tree gets a link to every entry of system, and the extra files."""
    tree.mkdir(parents=True, exist_ok=True)
    for entry in system.iterdir():
        os.symlink(entry, tree / entry.name)
    for path in extra:
        target = tree / path.name
        if target.is_symlink():
            target.unlink()
        shutil.copy(path, target)


class Server:
    def __init__(self, extension_dir: Optional[Path], library_dir: Optional[Path],
                 settings: Optional[Dict[str, str]] = None) -> None:
        self.extension_dir = extension_dir
        self.library_dir = library_dir
        self.settings = settings or {}
        self.root = Path(tempfile.mkdtemp(prefix="quorin-pg-"))
        self.as_root = os.geteuid() == 0
        self.user = "nobody" if self.as_root else os.environ.get("USER") or _whoami()
        self.socket_dir = self.root / "socket"
        self.data = self.root / "data"
        self.log = self.root / "server.log"
        self.bindir = Path(pg_config("--bindir"))

    # Programs that create or touch the server's files run as its user.
    def _as_server(self, argv: List[str]) -> List[str]:
        if not self.as_root:
            return argv
        return ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"] + argv

    def _server_env(self) -> Dict[str, str]:
        env = dict(os.environ)
        if self.library_dir is not None:
            env["LD_LIBRARY_PATH"] = str(self.library_dir)
        return env

    def _tree(self) -> Path:
        """The programs' folder: the system's, or the copy beside the extension."""
        if self.extension_dir is None:
            return self.bindir
        tree = self.root / "tree"
        bindir = tree / self.bindir.relative_to("/")
        bindir.mkdir(parents=True)
        for program in ("postgres", "initdb", "pg_ctl"):
            shutil.copy2(self.bindir / program, bindir / program)
        share = Path(pg_config("--sharedir"))
        modules = Path(pg_config("--pkglibdir"))
        _mirror(share, tree / share.relative_to("/"), [])
        (tree / share.relative_to("/") / "extension").unlink()
        _mirror(share / "extension", tree / share.relative_to("/") / "extension",
                sorted(self.extension_dir.glob("quorin*.control")) +
                sorted(self.extension_dir.glob("quorin--*.sql")))
        _mirror(modules, tree / modules.relative_to("/"), [self.extension_dir / "quorin.so"])
        for path in (tree, *tree.rglob("*")):
            if not path.is_symlink():
                path.chmod(0o755)
        return bindir

    def __enter__(self) -> "Server":
        try:
            self.start()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def start(self) -> None:
        bindir = self._tree()
        self.socket_dir.mkdir(mode=0o700)
        if self.as_root:
            for path in (self.root, self.socket_dir):
                shutil.chown(path, "nobody", "nogroup")
            self.root.chmod(0o755)
        subprocess.run(self._as_server([str(bindir / "initdb"), "-D", str(self.data), "-A", "trust",
                                        "-U", self.user, "-E", "UTF8", "--no-sync"]),
                       check=True, stdout=subprocess.DEVNULL, env=self._server_env())
        settings = {"listen_addresses": "''", "port": "5432",
                    "unix_socket_directories": f"'{self.socket_dir}'", "fsync": "off",
                    "log_min_messages": "warning", **self.settings}
        with open(self.data / "postgresql.conf", "a") as conf:
            for name, value in settings.items():
                conf.write(f"{name} = {value}\n")
        subprocess.run(self._as_server([str(bindir / "pg_ctl"), "-D", str(self.data), "-l",
                                        str(self.log), "-w", "-t", "60", "start"]),
                       check=True, stdout=subprocess.DEVNULL, env=self._server_env())
        self._pg_ctl = bindir / "pg_ctl"

    def close(self) -> None:
        if (self.data / "postmaster.pid").exists() and hasattr(self, "_pg_ctl"):
            subprocess.run(self._as_server([str(self._pg_ctl), "-D", str(self.data), "-m", "fast",
                                            "-w", "stop"]), stdout=subprocess.DEVNULL)
        shutil.rmtree(self.root, ignore_errors=True)

    def client_env(self, database: str = "postgres") -> Dict[str, str]:
        env = dict(os.environ)
        env.update(PGHOST=str(self.socket_dir), PGPORT="5432", PGUSER=self.user,
                   PGDATABASE=database)
        return env

    def psql(self, sql: str, database: str = "postgres", stdin: Optional[str] = None,
             check: bool = True) -> str:
        """Runs sql with psql: the rows unaligned, one a line. stdin feeds a
        COPY ... FROM STDIN."""
        argv = [str(self.bindir / "psql"), "-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1",
                "-c", sql]
        result = subprocess.run(argv, input=stdin, text=True, capture_output=True,
                                env=self.client_env(database))
        if check and result.returncode != 0:
            raise RuntimeError(f"psql failed: {result.stderr}")
        return result.stdout.strip()

    def server_log(self) -> str:
        return self.log.read_text(errors="replace") if self.log.exists() else ""

    def give_to_server(self, path: Path) -> None:
        """A file the server reads (a key file): its own, mode 0600."""
        if self.as_root:
            shutil.chown(path, "nobody", "nogroup")
        path.chmod(0o600)


def _whoami() -> str:
    import pwd
    return pwd.getpwuid(os.geteuid()).pw_name
