#!/usr/bin/env bash
# Prepares the Wine test world of one Windows build tree (idempotent):
#   - a private 32-bit prefix in <tree>/wineprefix (never ~/.wine)
#   - the product's registry values under HKLM, pointing at <tree>/zelroot
#   - the installation directory with its log and Language folders
#   - window manager off, font replacements (Arial, SimSun)
# Usage: wine-world.sh <windows build tree>
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
tree=$(cd "$1" && pwd)
export WINEPREFIX=$tree/wineprefix WINEARCH=win32 WINEDEBUG=-all
root=$tree/zelroot

mkdir -p "$root/log" "$root/Language" "$root/ZELFILETEMP/PROTECTPATH" "$root/ZELCLIENTDOC"
cp "$top/companions/install/Language/Multi_eng.ini" "$root/Language/Multi_eng.ini"
iconv -f UTF-8 -t CP936 "$top/companions/install/Language/Multi_ch.ini.utf8" > "$root/Language/Multi_ch.ini"

# A private zh_CN locale: Wine processes started with LOCPATH=<tree>/locale
# LANG=zh_CN.UTF-8 get ANSI code page 936.
if [ ! -d "$tree/locale/zh_CN.UTF-8" ]; then
  mkdir -p "$tree/locale"
  localedef -i zh_CN -f UTF-8 "$tree/locale/zh_CN.UTF-8" 2>/dev/null || true
fi

winroot="Z:$(echo "$root" | sed 's#/#\\#g')"
stamp=$WINEPREFIX/.gatrel-world
want="v1 $winroot"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ]; then
  exit 0
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
fi
reg() { wine reg add "$@" /f >/dev/null 2>&1; }
key='HKLM\SOFTWARE\Varnek\ZELClient\1.0\Setup'
reg "$key" /v InstallDir /t REG_SZ /d "$winroot"
reg "$key" /v Language /t REG_SZ /d English
reg "$key" /v LogLevel /t REG_SZ /d INFO
reg 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N
reg 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N
reg 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ /d 'Liberation Sans'
reg 'HKCU\Software\Wine\Fonts\Replacements' /v SimSun /t REG_SZ /d 'WenQuanYi Zen Hei'
# The GBK name of the SimSun family needs a UTF-16 .reg file.
tmpreg=$(mktemp --suffix=.reg)
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"宋体"="WenQuanYi Zen Hei"\r\n' \
  | iconv -f UTF-8 -t UTF-16 > "$tmpreg"
wine regedit /S "Z:$(echo "$tmpreg" | sed 's#/#\\#g')" >/dev/null 2>&1 || true
rm -f "$tmpreg"
wineserver -w
echo "$want" > "$stamp"
