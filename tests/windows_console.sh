#!/usr/bin/env bash
# zarnex-cli.exe as Windows users meet it, under Wine: typed at cmd.exe, which expands no
# wildcard; fed the lists that Notepad and cmd's `dir` write; on a Russian Windows (code pages
# 1251 and 866, Russian menus) and an English one; started from Explorer with a console of its
# own, and with a file dropped on it.
#   bash windows_console.sh EMULATOR... ZARNEX_CLI_EXE
set -euo pipefail
exe=${*: -1}
wine=("${@:1:$#-1}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# A Russian Windows under Wine needs a Russian locale with UTF-8 file names; none need be
# installed: it is made here from the C library's sources (Debian's locales package).
mkdir locale
localedef -i ru_RU -f UTF-8 locale/ru_RU.UTF-8 2>/dev/null || true
[ -f locale/ru_RU.UTF-8/LC_CTYPE ] || {
    echo "windows console: localedef cannot make ru_RU.UTF-8 (install the locales package)" >&2
    exit 1
}
russian=(LOCPATH="$work/locale" LC_ALL=ru_RU.UTF-8)
english=(LC_ALL=C.UTF-8)

cp "$exe" zarnex-cli.exe
mkdir src lists out
for name in C.dff A.dff b.dff Ёлка.dff Дверь.dff Дом.txd wheel.txd; do
    head -c 3000 /dev/urandom >"src/$name"
done
LC_ALL=C.UTF-8 "${wine[@]}" zarnex-cli.exe create base.img >/dev/null
LC_ALL=C.UTF-8 "${wine[@]}" zarnex-cli.exe import -q base.img src/Дом.txd src/wheel.txd >/dev/null
# Each list names src\Ёлка.dff as an editor saves it: UTF-8 with a mark, "Unicode" (UTF-16 LE),
# UTF-16 BE, and "ANSI" (Windows-1251).
line='src\Ёлка.dff'
printf '\xEF\xBB\xBF%s\r\n' "$line" >lists/utf8-mark.txt
printf '%s\r\n' "$line" | iconv -f UTF-8 -t UTF-16 >lists/utf16le.txt
printf '%s\r\n' "$line" | iconv -f UTF-8 -t UTF-16BE | { printf '\xFE\xFF'; cat; } >lists/utf16be.txt
printf '%s\r\n' "$line" | iconv -f UTF-8 -t CP1251 >lists/ansi.txt
# A file kept from before, modified at 09:04:07 UTC.
mkdir kept
head -c 10 /dev/urandom >kept/wheel.txd
touch -d '2026-03-05 09:04:07 UTC' kept/wheel.txd

# What a console shows, as text: its cursor moves to the right as blanks, other control
# sequences and CRs gone.
screen() {
    sed -e 's/\x1b\[\([0-9]*\)C/ /g' -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' | tr -d '\r'
}

failures=0
# A row: its name, the locale (and any other variable), how the program is started, the exit
# status it ends with, a text its output must hold, and the command line as typed at cmd.
#   cmd       cmd.exe /c, its output to files (no console)
#   console   cmd.exe /c in a console (a terminal that script(1) gives Wine)
#   explorer  the program alone in a console of its own; a key is pressed after 2 s
row() {
    local name=$1 mode=$3 status=$4 expect=$5 command=$6
    local -n environment=$2
    cp base.img a.img
    local start=$SECONDS got=0
    case $mode in
    cmd)
        env "${environment[@]}" "${wine[@]}" cmd.exe /c "$command" </dev/null >output 2>&1 || got=$?
        ;;
    console)
        env "${environment[@]}" script -qec "$(printf '%q ' "${wine[@]}" cmd.exe /c "$command")" \
            /dev/null </dev/null >raw || got=$?
        screen <raw >output
        ;;
    explorer)
        # shellcheck disable=SC2086
        { sleep 2; printf x; } | env "${environment[@]}" script -qec \
            "$(printf '%q ' "${wine[@]}" zarnex-cli.exe) $command" /dev/null >raw || got=$?
        screen <raw >output
        if ((SECONDS - start < 2)); then
            echo "windows console: $name: it did not wait for a key" >&2
            failures=$((failures + 1))
        fi
        ;;
    esac
    if [ "$got" != "$status" ] || ! grep -qF -- "$expect" output; then
        echo "windows console: $name: status $got (not $status), or no \"$expect\" in:" >&2
        cat output >&2
        failures=$((failures + 1))
    fi
}

row "a wildcard is expanded, sorted as Windows lists a folder" english cmd 0 \
    $'added A.dff\nadded b.dff\nadded C.dff\n' 'zarnex-cli import -v a.img src\*.dff'
row "a wildcard that matches no file is named" english cmd 1 \
    'no file matches: src\*.xyz' 'zarnex-cli import a.img src\*.xyz src\A.dff'
row "extract by a pattern" english cmd 0 \
    $'extracted wheel.txd\nextracted Дом.txd\nExtracted: 2' 'zarnex-cli extract -v -o a.img out *.TXD'
row "delete by a pattern" english cmd 0 'deleted Дом.txd' 'zarnex-cli delete -v a.img д?м.*'
row "/? gives the help" english cmd 0 'usage: zarnex-cli list ARCHIVE' 'zarnex-cli /?'
row "a list in UTF-8 with a mark" english cmd 0 \
    $'list lists\\utf8-mark.txt: read as UTF-8 (BOM)\nadded Ёлка.dff' \
    'zarnex-cli import -v -T lists\utf8-mark.txt a.img'
row "a list in UTF-16 LE" english cmd 0 \
    $'list lists\\utf16le.txt: read as UTF-16 LE\nadded Ёлка.dff' \
    'zarnex-cli import -v -T lists\utf16le.txt a.img'
row "a list in UTF-16 BE" english cmd 0 \
    $'list lists\\utf16be.txt: read as UTF-16 BE\nadded Ёлка.dff' \
    'zarnex-cli import -v -T lists\utf16be.txt a.img'
row "a list in ANSI on a Russian Windows" russian cmd 0 \
    $'список lists\\ansi.txt: не в UTF-8, прочитан в кодовой странице 1251\nдобавлено Ёлка.dff' \
    'zarnex-cli import -v -T lists\ansi.txt a.img'
row "dir piped without a console: ANSI" russian cmd 0 \
    $'прочитан в кодовой странице 1251\nзаменено Дом.txd' \
    'dir /b /s src\*.txd | zarnex-cli import -v -T - a.img'
# "Ёлка" in 866 passes for UTF-8 by chance; "Дверь" beside it does not.
row "dir piped in a console: the console's code page" russian console 0 \
    'прочитан в кодовой странице 866' 'dir /b /s src\*.dff | zarnex-cli import -v -T - a.img'
row "a pipe in a console: Cyrillic names" russian console 0 \
    'добавлено Ёлка.dff' 'dir /b /s src\*.dff | zarnex-cli import -v -T - a.img'
row "dir's list saved in a console, read as a file" russian console 0 \
    $'прочитан в кодовой странице 866\nдобавлено Дверь.dff' \
    'dir /b /s src\*.dff > lists\dir.txt & zarnex-cli import -v -T lists\dir.txt a.img'
row "no variable: the language of a Russian Windows" russian cmd 0 \
    $'версия 2\tзаписей: 2' 'set LC_ALL=& set LC_MESSAGES=& set LANG=& set LANGUAGE=& zarnex-cli list a.img'
row "no variable: the language of an English Windows" english cmd 0 \
    $'version 2\t2 entries' 'set LC_ALL=& set LC_MESSAGES=& set LANG=& set LANGUAGE=& zarnex-cli list a.img'
moscow=("${english[@]}" TZ=MSK-3)
row "the overwrite question's time on the user's clock" moscow cmd 1 \
    'modified: 05.03.2026  12:04:07' 'zarnex-cli extract -n a.img kept wheel.txd'
row "started from Explorer: what it is, and a key to close" english explorer 2 \
    'Press any key to close this window.' ''
row "a file dropped on it is listed" russian explorer 0 'записей: 2' 'a.img'

echo "windows console: $failures failures"
[ "$failures" -eq 0 ]
