#!/usr/bin/env python3
"""setuppack manifest: the winget manifest set of a package parses as YAML
and carries the switches, both scopes, the package's SHA-256, a return code
for every exit code of README's table and the entry's values; and it passes
the checks winget's own validation makes after the schema.

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


# Field shapes of the manifest schemas (1.6.0) for the fields we write.
IDENTIFIER = re.compile(r'^[^.\s\\/:*?"<>|\x01-\x1f]{1,32}(\.[^.\s\\/:*?"<>|\x01-\x1f]{1,32}){1,7}$')
VERSION = re.compile(r'^[^\\/:*?"<>|\x01-\x1f]+$')
ENUMS = {
    "Scope": {"user", "machine"},
    "InstallerType": {"msix", "msi", "appx", "exe", "zip", "inno", "nullsoft", "wix", "burn", "pwa", "portable"},
    "Architecture": {"x86", "x64", "arm", "arm64", "neutral"},
    "ElevationRequirement": {"elevationRequired", "elevationProhibited", "elevatesSelf"},
    "ReturnResponse": {"packageInUse", "packageInUseByApplication", "installInProgress", "fileInUse",
                       "missingDependency", "diskFull", "insufficientMemory", "invalidParameter", "noNetwork",
                       "contactSupport", "rebootRequiredToFinish", "rebootRequiredForInstall", "rebootInitiated",
                       "cancelledByUser", "alreadyInstalled", "downgrade", "blockedByPolicy",
                       "systemNotSupported", "custom"},
}


def effective_installers(installer):
    """Each installer as winget sees it: the root's fields where the
    installer gives none, the switches merged field by field."""
    result = []
    for node in installer["Installers"]:
        merged = {k: v for k, v in installer.items() if k not in ("Installers", "ManifestType", "ManifestVersion")}
        merged.update({k: v for k, v in node.items() if k != "InstallerSwitches"})
        merged["InstallerSwitches"] = dict(installer.get("InstallerSwitches", {}), **node.get("InstallerSwitches", {}))
        result.append(merged)
    return result


def winget_errors(version, installer, locale):
    """What winget's validation would refuse in the manifest set, by rule."""
    errors = []
    for doc in (version, installer, locale):
        if not (IDENTIFIER.match(doc["PackageIdentifier"]) and len(doc["PackageIdentifier"]) <= 128):
            errors.append("PackageIdentifier shape")
        if not (VERSION.match(str(doc["PackageVersion"])) and len(str(doc["PackageVersion"])) <= 128):
            errors.append("PackageVersion shape")
    if not 2 <= len(locale["Publisher"]) <= 256 or not 2 <= len(locale["PackageName"]) <= 256:
        errors.append("Publisher/PackageName length")
    if not 3 <= len(locale.get("License", "")) <= 512 or not 3 <= len(locale.get("ShortDescription", "")) <= 256:
        errors.append("License/ShortDescription length")
    digests = {}
    keys = set()
    for i in effective_installers(installer):
        for field in ("Scope", "InstallerType", "Architecture", "ElevationRequirement"):
            if field in i and i[field] not in ENUMS[field]:
                errors.append("enum " + field)
        for c in i.get("ExpectedReturnCodes", []):
            if c["ReturnResponse"] not in ENUMS["ReturnResponse"] or c["InstallerReturnCode"] == 0:
                errors.append("ExpectedReturnCodes entry")
        expected = [c["InstallerReturnCode"] for c in i.get("ExpectedReturnCodes", [])]
        success = i.get("InstallerSuccessCodes", [])
        if len(set(expected)) != len(expected) or set(expected) & set(success) or 0 in success:
            errors.append("DuplicateReturnCodeEntry")
        key = (i["InstallerType"], i["Architecture"], i.get("InstallerLocale"), i.get("Scope"))
        if key in keys:
            errors.append("DuplicateInstallerEntry")
        keys.add(key)
        switches = i["InstallerSwitches"]
        if i["InstallerType"] == "exe" and not (switches.get("Silent") and switches.get("SilentWithProgress")):
            errors.append("ExeInstallerMissingSilentSwitches")
        if any(not 1 <= len(v) <= 512 for v in switches.values()):
            errors.append("switch length")
        if not re.match(r"^[Hh][Tt][Tt][Pp][Ss]?://.+$", i["InstallerUrl"]) or \
                not re.match(r"^[A-Fa-f0-9]{64}$", i["InstallerSha256"]):
            errors.append("InstallerUrl/InstallerSha256 shape")
        if digests.setdefault(i["InstallerUrl"], i["InstallerSha256"]) != i["InstallerSha256"]:
            errors.append("InstallerSha256 differs for one URL")
        for entry in i.get("AppsAndFeaturesEntries", []):
            shown = str(entry.get("DisplayVersion", ""))
            if not shown or shown.startswith(("< ", "> ")):
                errors.append("ApproximateVersionNotAllowed")
    return errors


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
    check("README's table lists the codes 0..8 and 3010", codes == [0, 1, 2, 3, 4, 5, 6, 7, 8, 3010])
    check("every code of README's table but 0 has a return response",
          all(code in expected for code in codes if code != 0))
    check("responses where winget has one",
          all(expected[c] == r for c, r in ((1, "invalidParameter"), (3, "downgrade"), (4, "installInProgress"),
                                            (5, "diskFull"), (6, "fileInUse"), (7, "cancelledByUser"), (8, "missingDependency"),
                                            (3010, "rebootRequiredToFinish"))))
    check("3010 stands among the expected codes alone (no success code list)",
          "InstallerSuccessCodes" not in installer)
    errors = winget_errors(version, installer, locale)
    check("winget's validation finds nothing: " + ", ".join(errors), not errors)
    # The rules themselves catch what they are there for.
    broken = dict(installer, InstallerSuccessCodes=[3010])
    broken["Installers"] = installer["Installers"] + [dict(installer["Installers"][0], InstallerSha256="0" * 64)]
    broken["InstallerSwitches"] = {"Silent": "/S"}
    found = set(winget_errors(version, broken, locale))
    check("the rules find a duplicated code, installer, digest and a missing switch",
          {"DuplicateReturnCodeEntry", "DuplicateInstallerEntry", "InstallerSha256 differs for one URL",
           "ExeInstallerMissingSilentSwitches"} <= found)
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
