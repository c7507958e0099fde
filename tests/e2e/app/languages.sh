#!/usr/bin/env bash
# The window follows the system's language: German, English, French, Polish
# (no Polish in the data: the English texts, as for every other language)
# and Chinese, each at 96 and at 144 DPI. Message box captions and buttons
# stay German. In every case no control's text is wider than the control
# (measured with the control's own font), the fonts follow the DPI, and the
# tab order runs down the question panel with its folder box named by the
# label before it. Screenshots of the install question in each language and
# DPI are kept for review.
. "$(dirname "$0")/lib.sh"

pack_setup "$WORK/dl/Setup.exe"

# locale | version text | start button | cancel button | refused-folder message | folder label
cases=(
  "de_DE.UTF-8|Dieses Setup-Programm installiert Quillon (Version 2.5) auf Ihrem Computer|Ja|Abbrechen|Das eingegebene Verzeichnis kann nicht benutzt werden.|Programm-Ordner"
  "en_US.UTF-8|This setup program installs Quillon (version 2.5) on your computer|Yes|Cancel|The folder you entered cannot be used.|Program folder"
  "fr_FR.UTF-8|Ce programme d'installation installe Quillon (version 2.5) sur votre ordinateur|Oui|Annuler|Le dossier indiqué ne peut pas être utilisé.|Dossier du programme"
  "pl_PL.UTF-8|This setup program installs Quillon (version 2.5) on your computer|Yes|Cancel|The folder you entered cannot be used.|Program folder"
  "zh_CN.UTF-8|本安装程序将在您的计算机上安装 Quillon (版本 2.5)|是|取消|无法使用输入的文件夹.|程序文件夹"
)
declare -A font_at
for dpi in 96 144; do
  set_dpi "$dpi"
  for entry in "${cases[@]}"; do
    IFS='|' read -r locale version start cancel refused label <<<"$entry"
    lang=${locale%%.*}
    at="$lang at $dpi dpi"
    [ -n "${Q_ONLY_LOCALE:-}" ] && [ "$Q_ONLY_LOCALE" != "$locale" ] && continue
    if [ "$lang" = zh_CN ]; then link_cjk_font; else unlink_cjk_font; fi
    LC_ALL=$locale start_program 'C:\e2e\dl\Setup.exe'
    # The first program on a new system language can take a while: Wine
    # updates the prefix's international settings first.
    if ! drv wait-setup 180 >/dev/null; then
      fail "$at: no setup window"
      drv wait-box 2
      kill "$STARTED_PID" 2>/dev/null; wait_exit 30
      continue
    fi
    window=$(drv dump)
    echo "--- $at"; echo "$window"
    check "$at: version text" has_line "static:$version" "$window"
    check "$at: start button" has_line "button:$start" "$window"
    check "$at: cancel button" has_line "button:$cancel" "$window"
    fit=$(drv fit)
    echo "$fit"
    check "$at: no text cut off" test -z "$(grep '^cut:' <<<"$fit")"
    check "$at: texts measured" grep -qE '^fit:([6-9]|[1-9][0-9])$' <<<"$fit"
    check "$at: the screen's DPI" has_line "dpi:$dpi" "$fit"
    font_at[$lang-$dpi]=$(sed -n 's/^font://p' <<<"$fit")
    tabs=$(drv tabs)
    echo "$tabs"
    # Down the panel: the folder box, its browse button, the chosen one of
    # the two "for whom" buttons (one tab stop for the group), the check
    # boxes (the partner's only in German and English), then the answer.
    order=$(sed -n 's/^tab:\([a-z]*\):.*/\1/p' <<<"$tabs" | tr '\n' ' ')
    check "$at: tab order down the panel" grep -qxE 'edit button button check (check )?button button ' <<<"$order"
    check "$at: tab order ends with the answer" test "$(grep '^tab:' <<<"$tabs" | tail -2 | cut -d: -f3 | tr '\n' '|')" = "$start|$cancel|"
    check "$at: the folder box named by its label" has_line "edit-label:$label" "$tabs"
    screenshot "languages-$lang-${dpi}dpi"
    drv set-edit " " >/dev/null
    drv key return >/dev/null
    box=$(drv answer OK 30)
    echo "$box"
    check "$at: Enter answers the question" has_text "text:" "$box"
    check "$at: box caption stays German" has_line "caption:Fehler" "$box"
    check "$at: box button stays OK" has_line "button:OK" "$box"
    check "$at: box message translated" has_line "text:$refused" "$box"
    drv click "$cancel" >/dev/null
    wait_exit 30
    check "$at: cancelled, exit code 0" test "$EXIT_CODE" = 0
  done
done
set_dpi 96
unlink_cjk_font
# The fonts grow with the DPI: the label sized to its text grows to about one
# and a half times its height (at least 1.4 times).
for lang in de_DE zh_CN; do
  [ -n "${font_at[$lang-96]:-}" ] || continue
  check "$lang: the folder label ${font_at[$lang-96]} px high at 96 dpi, ${font_at[$lang-144]:-?} px at 144 dpi" \
    test "$(( ${font_at[$lang-144]:-0} * 10 ))" -ge "$(( ${font_at[$lang-96]} * 14 ))"
done
check "nothing installed" test ! -e "$PROGRAMS"
finish
