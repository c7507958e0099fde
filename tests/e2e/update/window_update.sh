#!/usr/bin/env bash
# The update through its window: over 2.5 with Quillon.exe changed, "Ja"
# shows a box that names the file and says that the full setup is needed,
# the question stays and nothing is changed; over the unchanged 2.5 it
# installs, and Quillon.exe and the entry are 2.6's.
. "$(dirname "$0")/../app/lib.sh"
export LC_ALL=de_DE.UTF-8

pack_setup "$WORK/dl/Setup25.exe"
printf 'version 2.6' >>"$WORK/root/Quillon.exe"
sed 's/Version=2.5/Version=2.6/' "$Q_SAMPLE/setup.src" >"$WORK/setup26.src"
"$Q_SETUPPACK" build --stub "$Q_STUB" --script "$WORK/setup26.src" --root "$WORK/root" --lng "$Q_SAMPLE/Setup.lng" \
  -o "$WORK/dl/Setup26.exe" >/dev/null
"$Q_SETUPPACK" patch --quiet --from "$WORK/dl/Setup25.exe" --to "$WORK/dl/Setup26.exe" -o "$WORK/dl/Update.exe" >/dev/null

start_program 'C:\e2e\dl\Setup25.exe' /S
wait_exit 60
check "2.5 installed" test "$EXIT_CODE" = 0
check "Quillon.exe closed itself" wait_quillon_closed
cp "$PROGRAMS/Quillon.exe" "$WORK/Quillon25.exe"
printf 'patched by someone' >>"$PROGRAMS/Quillon.exe"
before=$(prefix_snapshot)
start_program 'C:\e2e\dl\Update.exe'
drv wait-setup 120 >/dev/null
drv click Ja >/dev/null
box=$(drv answer OK 60)
echo "$box"
check "a changed file: an error box" has_line 'caption:Fehler' "$box"
check "a changed file: the box names it and asks for the full setup" has_line \
  'text:Dieses Update passt nicht zur installierten Version:\rC:\Program Files\Quillon\Quillon.exe differs from the version the update was made for\rEs wurde nichts verändert. Installieren Sie bitte das vollständige Setup.' "$box"
check "a changed file: the question stays" has_line 'button:Ja' "$(drv dump)"
same_prefix "a changed file" "$before"
drv click Abbrechen >/dev/null
wait_exit 30

cp "$WORK/Quillon25.exe" "$PROGRAMS/Quillon.exe"
check "over 2.5 the update installs through its window" install_sample 'C:\e2e\dl\Update.exe'
check "Quillon.exe is 2.6's" cmp -s "$PROGRAMS/Quillon.exe" "$WORK/root/Quillon.exe"
check "the entry says 2.6" test "$(reg_value "$(uninstall_keys | head -1)" DisplayVersion)" = 2.6
finish
