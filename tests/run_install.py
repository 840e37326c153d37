#!/usr/bin/env python3
"""Installs ruk into a scratch DESTDIR the way `make install` does, checks what arrived and
that the installed interpreter runs an installed example, then uninstalls the way
`make uninstall` does and checks that exactly ruk's files went.

usage: run_install.py CMAKE BUILD_DIR SOURCE_DIR

The install writes BUILD_DIR/install_manifest.txt and install_destdir.txt; those a
developer's own install left there are put back afterwards, so `make uninstall` still
removes that install.
"""
import os
import shutil
import stat
import subprocess
import sys
import tempfile

# A prefix that exists nowhere, so that a DESTDIR left out by mistake cannot touch a real
# install.
TOP = f"/ruk-install-test-{os.getpid()}"
PREFIX = TOP + "/usr/local"
STAGED = PREFIX.lstrip("/")  # the prefix inside DESTDIR
# Files of other packages that share the folders ruk installs into; they must survive.
FOREIGN = [STAGED + name for name in ["/bin/other", "/share/man/man1/other.1",
                                      "/share/doc/other/README.md"]]

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, timeout=120, **kwargs)


def files_under(root):
    found = set()
    for folder, _, names in os.walk(root):
        for name in names:
            found.add(os.path.relpath(os.path.join(folder, name), root))
    return found


def expected_files(source):
    doc = STAGED + "/share/doc/ruk"
    want = {STAGED + "/bin/ruk", STAGED + "/bin/rukw", STAGED + "/share/man/man1/ruk.1",
            STAGED + "/share/man/man1/rukw.1", doc + "/README.md"}
    want |= {f"{doc}/{name}" for name in os.listdir(os.path.join(source, "docs"))
             if name.endswith(".md")}
    want |= {f"{doc}/examples/{name}" for name in os.listdir(os.path.join(source, "examples"))
             if name.endswith(".ruk")}
    return want


def same_bytes(a, b):
    with open(a, "rb") as x, open(b, "rb") as y:
        return x.read() == y.read()


def check_install(cmake, build, source, root):
    env = dict(os.environ, DESTDIR=root)
    proc = run([cmake, "--install", build, "--prefix", PREFIX], env=env)
    if not check(proc.returncode == 0, f"install failed ({proc.returncode}):\n{proc.stderr}"):
        return
    want = expected_files(source)
    got = files_under(root) - set(FOREIGN)
    check(got == want, f"installed files differ: missing {sorted(want - got)}, "
                       f"unexpected {sorted(got - want)}")

    manifest = os.path.join(build, "install_manifest.txt")
    with open(manifest) as f:
        listed = {line.strip()[1:] for line in f if line.strip()}
    check(listed == want, f"the manifest lists {sorted(listed ^ want)} wrongly")

    doc = os.path.join(root, STAGED, "share/doc/ruk")
    check(same_bytes(os.path.join(doc, "README.md"), os.path.join(source, "README.md")),
          "README.md installed with other contents")
    check(same_bytes(os.path.join(root, STAGED, "share/man/man1/ruk.1"),
                     os.path.join(source, "docs/ruk.1")), "ruk.1 installed with other contents")
    ruk = os.path.join(root, STAGED, "bin/ruk")
    if not check(os.path.isfile(ruk) and os.stat(ruk).st_mode & stat.S_IXUSR,
                 "bin/ruk is not an executable file"):
        return
    # The installed interpreter runs the installed example from anywhere.
    proc = run([ruk, os.path.join(doc, "examples/hello.ruk")], cwd=tempfile.gettempdir())
    check((proc.returncode, proc.stdout, proc.stderr) == (0, "Hello, world!\n", ""),
          f"installed ruk on hello.ruk gave {proc.returncode}, {proc.stdout!r}, {proc.stderr!r}")


def check_uninstall(cmake, build, source, root):
    script = os.path.join(source, "cmake/uninstall.cmake")
    manifest = os.path.join(build, "install_manifest.txt")
    proc = run([cmake, f"-DMANIFEST={manifest}", "-P", script])
    check(proc.returncode == 0, f"uninstall failed ({proc.returncode}):\n{proc.stderr}")
    check(files_under(root) == set(FOREIGN),
          f"after uninstall the files are {sorted(files_under(root))}")
    check(not os.path.exists(os.path.join(root, STAGED, "share/doc/ruk")),
          "share/doc/ruk is still there after uninstall")

    # A program of the user's own among the installed examples stays, and so does its folder.
    check_install(cmake, build, source, root)
    mine = os.path.join(root, STAGED, "share/doc/ruk/examples/mine.ruk")
    with open(mine, "w") as f:
        f.write("a\\0\n")
    proc = run([cmake, f"-DMANIFEST={manifest}", "-P", script])
    check(proc.returncode == 0, f"uninstall failed ({proc.returncode}):\n{proc.stderr}")
    check(files_under(root) == set(FOREIGN) | {os.path.relpath(mine, root)},
          f"after uninstall beside a file of the user's the files are {sorted(files_under(root))}")
    os.remove(mine)
    for folder in ["bin", "share/man/man1", "share/doc"]:
        check(os.path.isdir(os.path.join(root, STAGED, folder)),
              f"uninstall removed the shared folder {folder}")

    # A second uninstall finds everything gone and is no error.
    proc = run([cmake, f"-DMANIFEST={manifest}", "-P", script])
    check(proc.returncode == 0, f"a second uninstall failed ({proc.returncode}):\n{proc.stderr}")
    # Without a manifest there is nothing to go by: a clear error, nothing removed.
    proc = run([cmake, f"-DMANIFEST={os.path.join(root, 'none.txt')}", "-P", script])
    check(proc.returncode != 0 and "nothing was installed" in proc.stderr,
          f"uninstall without a manifest gave {proc.returncode}:\n{proc.stderr}")
    check(files_under(root) == set(FOREIGN), "uninstall without a manifest removed files")


def main():
    cmake, build, source = sys.argv[1:4]
    records = [os.path.join(build, name) for name in ["install_manifest.txt", "install_destdir.txt"]]
    kept = {}
    for record in records:
        if os.path.exists(record):
            with open(record, "rb") as f:
                kept[record] = f.read()
    root = tempfile.mkdtemp(prefix="ruk-install-")
    try:
        for name in FOREIGN:
            os.makedirs(os.path.dirname(os.path.join(root, name)), exist_ok=True)
            with open(os.path.join(root, name), "w") as f:
                f.write("not ruk's\n")
        check_install(cmake, build, source, root)
        check_uninstall(cmake, build, source, root)
        check(not os.path.exists(TOP), f"{TOP} was written outside DESTDIR")
    finally:
        shutil.rmtree(root, ignore_errors=True)
        for record in records:
            if record in kept:
                with open(record, "wb") as f:
                    f.write(kept[record])
            elif os.path.exists(record):
                os.remove(record)
    for failure in failures:
        print("FAIL:", failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
