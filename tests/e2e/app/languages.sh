#!/usr/bin/env bash
# The window follows the system's language: German, English, French, Polish
# (no Polish in the data: the English texts, as for every other language)
# and Chinese. Message box captions and buttons stay German. Screenshots of
# the install question in each language are kept for review.
. "$(dirname "$0")/lib.sh"

pack_setup "$WORK/dl/Setup.exe"

# locale | version text | start button | cancel button | refused-folder message
cases=(
  "de_DE.UTF-8|Dieses Setup-Programm installiert Quillon (Version 2.5) auf Ihrem Computer|Ja|Abbrechen|Das eingegebene Verzeichnis kann nicht benutzt werden."
  "en_US.UTF-8|This setup program installs Quillon (version 2.5) on your computer|Yes|Cancel|The folder you entered cannot be used."
  "fr_FR.UTF-8|Ce programme d'installation installe Quillon (version 2.5) sur votre ordinateur|Oui|Annuler|Le dossier indiqué ne peut pas être utilisé."
  "pl_PL.UTF-8|This setup program installs Quillon (version 2.5) on your computer|Yes|Cancel|The folder you entered cannot be used."
  "zh_CN.UTF-8|本安装程序将在您的计算机上安装 Quillon (版本 2.5)|是|取消|无法使用输入的文件夹."
)
for entry in "${cases[@]}"; do
  IFS='|' read -r locale version start cancel refused <<<"$entry"
  lang=${locale%%.*}
  [ -n "${Q_ONLY_LOCALE:-}" ] && [ "$Q_ONLY_LOCALE" != "$locale" ] && continue
  [ "$lang" = zh_CN ] && link_cjk_font
  LC_ALL=$locale start_program 'C:\e2e\dl\Setup.exe'
  # The first program on a new system language can take a while: Wine
  # updates the prefix's international settings first.
  if ! drv wait-setup 180 >/dev/null; then
    fail "$lang: no setup window"
    kill "$STARTED_PID" 2>/dev/null; wait_exit 30
    continue
  fi
  window=$(drv dump)
  echo "--- $lang"; echo "$window"
  check "$lang: version text" has_line "static:$version" "$window"
  check "$lang: start button" has_line "button:$start" "$window"
  check "$lang: cancel button" has_line "button:$cancel" "$window"
  screenshot "languages-$lang"
  drv set-edit " " >/dev/null
  drv click "$start" >/dev/null
  box=$(drv answer OK 30)
  echo "$box"
  check "$lang: box caption stays German" has_line "caption:Fehler" "$box"
  check "$lang: box button stays OK" has_line "button:OK" "$box"
  check "$lang: box message translated" has_line "text:$refused" "$box"
  drv click "$cancel" >/dev/null
  wait_exit 30
  check "$lang: cancelled, exit code 0" test "$EXIT_CODE" = 0
done
check "nothing installed" test ! -e "$PROGRAMS"
finish
