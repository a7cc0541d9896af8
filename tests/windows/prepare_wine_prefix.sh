#!/usr/bin/env bash
# Makes the Wine prefix that the Windows tests run in: a virtual desktop, so
# that dialogs get their title bars and show at once without a window
# manager, and the Chinese and Japanese dialog fonts mapped to installed ones.
set -euo pipefail
: "${WINEPREFIX:?}"
wine=${WINE:-wine}  # the build's own Wine loader

# In a WoW64 prefix one 32-bit registration crashes while the prefix is set
# up; without the debugger it just ends instead of waiting in a crash dialog
# that nobody closes. Later crashes show no dialog either.
WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winedbg.exe=d" "$wine" wineboot --init
reg_add() { "$wine" reg add "$1" /v "$2" /d "$3" /f >/dev/null; }
"$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
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
