#!/usr/bin/env bash
# Makes the Wine prefix that the Windows tests run in: a virtual desktop, so
# that dialogs get their title bars and show at once without a window
# manager, and the Chinese and Japanese dialog fonts mapped to installed ones.
set -euo pipefail
: "${WINEPREFIX:?}"
wine=${WINE:-wine}  # the build's own Wine loader

"$wine" wineboot --init
reg_add() { "$wine" reg add "$1" /v "$2" /d "$3" /f >/dev/null; }
reg_add 'HKCU\Software\Wine\Explorer' Desktop Default
reg_add 'HKCU\Software\Wine\Explorer\Desktops' Default 1024x768
replacements='HKCU\Software\Wine\Fonts\Replacements'
reg_add "$replacements" 'SimSun' 'WenQuanYi Micro Hei'
reg_add "$replacements" 'Microsoft YaHei UI' 'WenQuanYi Micro Hei'
reg_add "$replacements" 'MS UI Gothic' 'IPAPGothic'
reg_add "$replacements" 'Yu Gothic UI' 'IPAPGothic'
reg_add "$replacements" 'MS Gothic' 'IPAGothic'
reg_add "$replacements" 'ＭＳ Ｐゴシック' 'IPAPGothic'
wineserver -w
