#!/usr/bin/env bash
# A signed setup, as a publisher ships it: the sample package signed with
# osslsigncode by a code-signing certificate of a throw-away authority. The
# signature verifies; setuppack still lists and extracts the package; the
# setup installs; the uninstall entry carries version, icon, folder and size;
# the uninstaller it writes is an unsigned, well-formed program (no
# certificate entry, a true header checksum) that removes the installation.
# As the elevated copy (started by hand: Wine asks for no rights) the signed
# setup installs, and the same package with one byte changed in a section,
# still its running image's own file, is refused by its signature.
. "$(dirname "$0")/../app/lib.sh"
export LC_ALL=de_DE.UTF-8

for tool in osslsigncode openssl objdump; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing (scripts/install-deps installs it)"; exit 77; }
done
/usr/bin/python3 -c 'import pefile' 2>/dev/null || { echo "SKIP: python3-pefile is missing"; exit 77; }

# The authority and the publisher's certificate.
pki=$WORK/pki
mkdir -p "$pki"
(
  cd "$pki" &&
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Quillon Test Root" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign \
    -keyout ca.key -out ca.pem &&
  openssl req -newkey rsa:2048 -nodes -subj "/CN=Quillon Software GmbH" -keyout signer.key -out signer.csr &&
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext &&
  openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile signer.ext -out signer.pem
) >/dev/null 2>&1
check "test authority and code-signing certificate made" test -s "$pki/signer.pem"

pack_setup "$WORK/build/Setup.exe"
mkdir -p "$WORK/dl"
osslsigncode sign -certs "$pki/signer.pem" -key "$pki/signer.key" -n "Quillon Setup" -h sha256 \
  -in "$WORK/build/Setup.exe" -out "$WORK/dl/Setup.exe" >"$WORK/sign.out" 2>&1
check "osslsigncode signs the package" test -s "$WORK/dl/Setup.exe"
cat "$WORK/sign.out"
verify=$(osslsigncode verify -CAfile "$pki/ca.pem" -in "$WORK/dl/Setup.exe" 2>&1)
check "the signature verifies against the authority" test $? = 0
check "verify reports ok" has_text "Signature verification: ok" "$verify"
grep -i "checksum" <<<"$verify"

# The authority in the machine's root store, as a customer's machine has its
# publisher's: value "Blob" holds the certificate as property 0x20 (its
# number, 1, its length, its DER bytes, little-endian).
thumb=$(openssl x509 -in "$pki/ca.pem" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
der=$(openssl x509 -in "$pki/ca.pem" -outform DER | od -An -v -tx1 | tr -d ' \n')
len=$(printf '%08x' $((${#der} / 2)) | sed 's/\(..\)\(..\)\(..\)\(..\)/\4\3\2\1/')
wine_out reg add "HKLM\\Software\\Microsoft\\SystemCertificates\\ROOT\\Certificates\\$thumb" \
  /v Blob /t REG_BINARY /d "2000000001000000$len$der" /f >/dev/null
check "the authority is in the machine's root store" test $? = 0

# One byte changed behind the stub (the language section), signature kept.
cp "$WORK/dl/Setup.exe" "$WORK/dl/Changed.exe"
at=$(($(stat -c %s "$Q_STUB") + 200))
/usr/bin/python3 -c 'import sys
d = bytearray(open(sys.argv[1], "rb").read()); d[int(sys.argv[2])] ^= 1; open(sys.argv[1], "wb").write(d)' \
  "$WORK/dl/Changed.exe" "$at"
check "the changed copy differs in one byte" test "$(cmp -l "$WORK/dl/Setup.exe" "$WORK/dl/Changed.exe" | wc -l)" = 1
copy_log=$DRIVE_C/ProgramData/QuillonSetupLog-00000000000c0de1/Setup.log
start_program 'C:\e2e\dl\Changed.exe' /ELEVATED /ELEVATEDLOG=00000000000c0de1 /S
wait_exit 120
check "the changed package as the elevated copy ends with 2" test "${EXIT_CODE:-}" = 2
log=$(tr -d '\r' <"$copy_log" 2>/dev/null)
echo "$log"
check "its log names the refusal" \
  has_line 'Refused: not installed from C:\e2e\dl\Changed.exe: its signature does not verify' "$log"
check "and its result" has_line "Result: 2 install failed" "$log"
check "it installed nothing" test ! -e "$DRIVE_C/Program Files/Quillon"
rm -rf "$(dirname "$copy_log")"

# The signed package still reads as the same package.
list=$("$Q_SETUPPACK" list "$WORK/dl/Setup.exe" 2>&1)
check "setuppack lists the signed package" test $? = 0
check "the listing names the signature" has_text "certificate table (signature)" "$list"
check "no unexplained bytes" bash -c '! grep -q "not a section" <<<"$1"' _ "$list"
"$Q_SETUPPACK" extract "$WORK/build/Setup.exe" --to "$WORK/x-unsigned" >/dev/null 2>&1
"$Q_SETUPPACK" extract "$WORK/dl/Setup.exe" --to "$WORK/x-signed" >/dev/null 2>&1
check "extracting gives what the unsigned package gives" diff -r "$WORK/x-unsigned" "$WORK/x-signed"
osslsigncode sign -certs "$pki/signer.pem" -key "$pki/signer.key" -in "$Q_STUB" -out "$WORK/signed-stub.exe" >/dev/null 2>&1
refused=$("$Q_SETUPPACK" build --stub "$WORK/signed-stub.exe" --script "$Q_SAMPLE/setup.src" --root "$WORK/root" \
  -o "$WORK/refused.exe" 2>&1)
echo "$refused"
check "a signed stub is refused" test ! -e "$WORK/refused.exe"
check "with a message that says why" has_text "stub carries a signature" "$refused"

check "the signed setup installs with the defaults" install_sample
check "setup ended with exit code 0" test "${EXIT_CODE:-}" = 0
check "Quillon.exe closed itself" wait_quillon_closed
check "Quillon.exe installed" test -f "$PROGRAMS/Quillon.exe"
check "data file installed" test -f "$PROGRAMS/Daten/Quillon.qdb"
check "start-menu shortcut" test -f "$START_MENU/Quillon.lnk"
check "desktop shortcut" test -f "$PUBLIC_DESKTOP/Quillon.lnk"

# The uninstall entry, as Apps & Features and package managers read it.
key=$(uninstall_keys | head -1)
check "uninstall entry present" test -n "$key"
entry=$(wine_out reg query "$key")
echo "$entry"
value() { sed -n "s/^ *$1 *\(REG_[A-Z_]*\) *\(.*\)$/\1 \2/p" <<<"$entry"; }
check "DisplayVersion is the script's version" test "$(value DisplayVersion)" = "REG_SZ 2.5"
check "DisplayIcon is the installed program" test "$(value DisplayIcon)" = 'REG_SZ C:\Program Files\Quillon\Quillon.exe'
check "InstallLocation is the program folder" test "$(value InstallLocation)" = 'REG_SZ C:\Program Files\Quillon'

# EstimatedSize, in KiB: at least what the package ships plus the
# uninstaller's program part, and no more than a few KiB (shortcuts,
# Desktop.ini, rounding) beyond that.
shipped=$(cat "$WORK/root"/* | wc -c)
least=$((shipped + $(stat -c %s "$Q_STUB")))
dword=$(value EstimatedSize | sed -n 's/^REG_DWORD //p')
estimated=$((${dword:-0} * 1024))
echo "EstimatedSize: $estimated bytes; shipped and stub: $least bytes"
check "EstimatedSize is the installation's size as a DWORD" \
  test "$estimated" -ge "$least" -a "$estimated" -le $((least + 65536))

# The uninstaller: an unsigned program with a sound header.
uninstaller=$PROGRAMS/uninstall.exe
headers=$(objdump -p "$uninstaller" 2>&1)
check "objdump reads the uninstaller" test $? = 0
check "no certificate table entry" grep -qE "Entry 4 0+ 0+ Security Directory" <<<"$headers"
uverify=$(osslsigncode verify -CAfile "$pki/ca.pem" -in "$uninstaller" 2>&1)
echo "$uverify"
check "osslsigncode finds no signature" has_text "No signature found" "$uverify"
check "and nothing damaged" bash -c '! grep -qiE "corrupt|damaged|not at the end" <<<"$1"' _ "$uverify"
# The header checksum, computed by pefile as the system's image help does.
# (osslsigncode 2.9 drops the last byte of a file of odd length from its own
# computation, so its "invalid PE checksum" is no judge for such files.)
pe_checksum() {
  /usr/bin/python3 -c 'import pefile, sys
p = pefile.PE(sys.argv[1], fast_load=True)
print("%08X %08X" % (p.OPTIONAL_HEADER.CheckSum, p.generate_checksum()))' "$1"
}
sums=$(pe_checksum "$uninstaller")
echo "uninstaller header checksum, computed checksum: $sums"
check "the uninstaller's header checksum is true" test -n "$sums" -a "${sums% *}" = "${sums#* }"

# It runs and removes the installation.
command=$(wine_out reg query "$key" /v UninstallString | sed -n 's/.*REG_SZ *//p')
param=$(sed -n 's/.*\(UninstallKey=[^"]*\)".*/\1/p' <<<"$command")
start_program 'C:\Program Files\Quillon\uninstall.exe' /uninst "$param"
check "the uninstall window appears" drv wait-setup 120
drv click "Ja" >/dev/null
wait_exit 60
check "uninstaller ended with 0" test "${EXIT_CODE:-}" = 0
check "program removed" test ! -e "$PROGRAMS/Quillon.exe"
check "start-menu folder removed" test ! -e "$START_MENU"
check "desktop shortcut removed" test ! -e "$PUBLIC_DESKTOP/Quillon.lnk"
check "uninstall entry removed" test -z "$(uninstall_keys)"

# The signed package itself, as the elevated copy: its own file, its
# signature verifies, it installs.
start_program 'C:\e2e\dl\Setup.exe' /ELEVATED /ELEVATEDLOG=00000000000c0de2 /S /NODESKTOP
wait_exit 180
check "the signed package as the elevated copy installs (0)" test "${EXIT_CODE:-}" = 0
check "Quillon.exe installed by the copy" test -f "$PROGRAMS/Quillon.exe"
finish
