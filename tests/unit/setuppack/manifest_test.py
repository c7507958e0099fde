#!/usr/bin/env python3
"""setuppack manifest: the winget manifest set of a package parses as YAML
and carries the switches, both scopes, the package's SHA-256, a return code
for every exit code of README's table and the entry's values.

usage: manifest_test.py SETUPPACK README"""
import hashlib
import os
import re
import subprocess
import sys
import tempfile

import yaml

setuppack, readme = sys.argv[1], sys.argv[2]
failures = 0


def check(what, condition):
    global failures
    print(("ok   - " if condition else "FAIL - ") + what)
    if not condition:
        failures += 1


def readme_exit_codes():
    """The codes of the table under "Exit codes of a silent run"."""
    text = open(readme, encoding="utf-8").read()
    table = text.split("Exit codes of a silent run", 1)[1].split("\n\n", 2)[1]
    return [int(m) for m in re.findall(r"^\| (\d+) \|", table, re.M)]


with tempfile.TemporaryDirectory() as work:
    root = os.path.join(work, "root")
    os.makedirs(root)
    with open(os.path.join(root, "Quillon.exe"), "wb") as f:
        f.write(b"MZ program " * 50)
    with open(os.path.join(work, "stub.exe"), "wb") as f:
        f.write(b"MZ\x90\x00 a stub" + bytes(500))
    # ANSI script: the publisher's u-umlaut is one Windows-1252 byte.
    with open(os.path.join(work, "setup.src"), "wb") as f:
        f.write(b"action=path,Registry=Quillon\\Quillon,Version=2.10,PgmPath=*Programs*\\Quillon\r\n"
                b"action=save,Source=Quillon.exe,Filename=*PgmPath*\\Quillon.exe\r\n"
                b"action=uninst,name=Quillon,\"Publisher=Quillon M\xfcnchen GmbH\"\r\n")
    package = os.path.join(work, "Setup.exe")
    subprocess.run([setuppack, "build", "--stub", os.path.join(work, "stub.exe"), "--script",
                    os.path.join(work, "setup.src"), "--root", root, "-o", package], check=True,
                   stdout=subprocess.DEVNULL)
    out = os.path.join(work, "manifests")
    url = "https://downloads.example.com/Quillon-2.10.exe"
    subprocess.run([setuppack, "manifest", package, "--id", "QuillonSoftware.Quillon", "--url", url, "-o", out],
                   check=True, stdout=subprocess.DEVNULL)

    def load(name):
        with open(os.path.join(out, name), encoding="utf-8") as f:
            return yaml.safe_load(f)

    version = load("QuillonSoftware.Quillon.yaml")
    installer = load("QuillonSoftware.Quillon.installer.yaml")
    locale = load("QuillonSoftware.Quillon.locale.de-DE.yaml")

    manifest_version = tuple(int(p) for p in version["ManifestVersion"].split("."))
    for name, doc, kind in (("version", version, "version"), ("installer", installer, "installer"),
                            ("locale", locale, "defaultLocale")):
        check(name + ": identifier, version from the path line (a text, not 2.1), type",
              doc["PackageIdentifier"] == "QuillonSoftware.Quillon" and doc["PackageVersion"] == "2.10"
              and doc["ManifestType"] == kind and doc["ManifestVersion"] == version["ManifestVersion"])
    check("manifest version 1.6.0 or newer", manifest_version >= (1, 6, 0))
    check("default locale names the locale file", version["DefaultLocale"] == locale["PackageLocale"] == "de-DE")

    check("installer type exe", installer["InstallerType"] == "exe")
    check("switches: /S, /PASSIVE, /D=<INSTALLPATH>, /LOG=<LOGPATH>",
          installer["InstallerSwitches"] == {"Silent": "/S", "SilentWithProgress": "/PASSIVE",
                                             "InstallLocation": "/D=<INSTALLPATH>", "Log": "/LOG=<LOGPATH>"})
    digest = hashlib.sha256(open(package, "rb").read()).hexdigest().upper()
    scopes = {i["Scope"]: i for i in installer["Installers"]}
    check("two installers by scope", sorted(scopes) == ["machine", "user"])
    check("each with the URL and the package's SHA-256",
          all(i["InstallerUrl"] == url and i["InstallerSha256"] == digest for i in scopes.values()))
    check("the user's installer passes /CURRENTUSER", scopes["user"]["InstallerSwitches"]["Custom"] == "/CURRENTUSER")
    check("elevation: the machine's installer elevates itself, the user's needs none",
          scopes["machine"]["ElevationRequirement"] == "elevatesSelf"
          and scopes["user"]["ElevationRequirement"] == "elevationProhibited")

    expected = {c["InstallerReturnCode"]: c["ReturnResponse"] for c in installer["ExpectedReturnCodes"]}
    codes = readme_exit_codes()
    check("README's table lists the codes 0..7 and 3010", codes == [0, 1, 2, 3, 4, 5, 6, 7, 3010])
    check("every code of README's table but 0 has a return response",
          all(code in expected for code in codes if code != 0))
    check("responses where winget has one",
          all(expected[c] == r for c, r in ((1, "invalidParameter"), (3, "downgrade"), (4, "installInProgress"),
                                            (5, "diskFull"), (6, "fileInUse"), (7, "cancelledByUser"),
                                            (3010, "rebootRequiredToFinish"))))
    check("3010 is a success", installer["InstallerSuccessCodes"] == [3010])
    entry = installer["AppsAndFeaturesEntries"][0]
    check("the entry's values as the setup writes them (publisher from ANSI to UTF-8)",
          entry["DisplayName"] == "Quillon" and entry["Publisher"] == "Quillon M\u00fcnchen GmbH"
          and entry["DisplayVersion"] == "2.10")
    check("locale: publisher, name, license, description",
          locale["Publisher"] == "Quillon M\u00fcnchen GmbH" and locale["PackageName"] == "Quillon"
          and locale["License"] and locale["ShortDescription"])

    bad = subprocess.run([setuppack, "manifest", package, "--id", "Quillon", "--url", url, "-o", out],
                         capture_output=True, text=True)
    check("an identifier without Publisher. is refused", bad.returncode != 0 and "Publisher.Product" in bad.stderr)
    bad = subprocess.run([setuppack, "manifest", os.path.join(work, "stub.exe"), "--id", "A.B", "--url", url,
                          "-o", out], capture_output=True, text=True)
    check("a file without a script is refused", bad.returncode != 0 and "no script" in bad.stderr)

sys.exit(1 if failures else 0)
