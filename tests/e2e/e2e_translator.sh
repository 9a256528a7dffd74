#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A translator's round trip, as README.md tells it: export the window's texts
# with velmora-lang, write a German .lng from the exported IDs, drop it into
# the translations folder, and find "Deutsch" as a third language in the
# tray menu. Choosing it turns the translated texts into German (the others
# stay Spanish) and the panels into "frei von"; "Schließen" writes Idioma=2
# and the next start comes up in German. A broken file next to it is skipped
# with a message, nothing more, and so are files that are no translations at
# all (a link to /dev/zero, FIFOs, a file past the size limit).
#
#   e2e_translator.sh <path of velmora> <path of velmora-lang>
# Exit 77 (skipped) when Xvfb, xdotool, xwininfo or xprop is missing.
set -u
VELMORA=${1:?path of the velmora program}
VELMORA_LANG=${2:?path of velmora-lang}
source "$(cd "$(dirname "$0")" && pwd)/e2e_lib.sh"
e2e_setup e2e-translator

# --- 1. export the texts ---------------------------------------------------------
"$VELMORA_LANG" source FormMain >"$WORK/source.txt" 2>"$WORK/source.err" ||
  { cat "$WORK/source.err" >&2; fail "velmora-lang source failed"; e2e_finish; }
echo "$(wc -l <"$WORK/source.txt") source lines, e.g. $(grep -m1 '^Idioma1\.Caption=' "$WORK/source.txt")"
# The ID of an exported property ("Idioma1.Caption=00000004,Idioma").
id_of() { sed -n "s/^$1=\([0-9]\{8\}\),.*/\1/p" "$WORK/source.txt" | head -1; }

# --- 2. write the German file from them --------------------------------------------
declare -A GERMAN=(
  [Idioma1.Caption]="Sprache"
  [Idioma1.Hint]="Sprache des Programms"
  [N3.Caption]="&Deckkraft"
  [Verdiscosdered1.Caption]="&Netzlaufwerke anzeigen"
  [actCerrar.Caption]="&Schließen"
  [actCerrar.Hint]="Das Widget schließen"
  [actRefrescar.Caption]="&Aktualisieren"
)
FOLDER="$XDG_DATA_HOME/Velmora/translations"
mkdir -p "$FOLDER"
{
  printf 'SourceLANGID=3082\r\nLANGID=1031\r\n\r\n[FormMain]\r\n'
  for property in "${!GERMAN[@]}"; do
    id=$(id_of "$property")
    [ -n "$id" ] || { fail "$property is not among the exported lines"; continue; }
    printf '%s=%s\r\n' "$id" "${GERMAN[$property]}"
  done
  printf '\r\n[$CONSTANTS]\r\nmsgdisponibles=frei von\r\n'
} >"$FOLDER/Deutsch.lng"
# A file without its LANGID: skipped at start, with a message.
printf '[FormMain]\r\n00000004=Kieli\r\n' >"$FOLDER/Broken.lng"

# --- 3. the widget finds it -------------------------------------------------------
write_ini 5 False "$INI" 0
start_widget "$VELMORA" "$WORK/first.log" || e2e_finish
grep -F "skipping translation" "$WORK/first.log" | grep -qF "Broken.lng" && pass "the broken file is skipped with a message" ||
  fail "no message about Broken.lng"
MENU=$(menu_text "$WORK/first.log")
case "$MENU" in
  *"Idioma [Español | Inglés | Deutsch]"*) pass "the language submenu offers Deutsch third" ;;
  *) fail "language submenu: $MENU" ;;
esac

# --- 4. choose it ---------------------------------------------------------------------
FROM=$(($(wc -l <"$WORK/first.log") + 1))
choose $VPID 3 3 # Idioma > Deutsch
MENU=$(menu_text "$WORK/first.log")
for text in "Sprache [" "&Deckkraft" "&Netzlaufwerke anzeigen" "&Aktualisieren" "&Schließen" "&Intervalo de actualización"; do
  case "$MENU" in *"$text"*) pass "the menu reads \"$text\"" ;; *) fail "the menu lacks \"$text\": $MENU" ;; esac
done
for i in $(seq 1 120); do
  tail -n +"$FROM" "$WORK/first.log" | grep -F "reads:" | grep -qF " GB frei von " && break
  sleep 0.1
done
tail -n +"$FROM" "$WORK/first.log" | grep -F "reads:" | grep -qF " GB frei von " &&
  pass "after the next refresh the panels read \"... GB frei von ... GB\"" ||
  fail "panels: $(tail -n +"$FROM" "$WORK/first.log" | grep -F "reads:" | tail -2)"

close_from_menu_leaving_language $VPID 2 # "Schließen"

# --- 5. the next start is German ------------------------------------------------------
start_widget "$VELMORA" "$WORK/second.log" || e2e_finish
MENU=$(menu_text "$WORK/second.log")
case "$MENU" in
  *"Sprache [Español | Inglés | Deutsch]"*"&Schließen"*) pass "the next start comes up in German" ;;
  *) fail "next start: $MENU" ;;
esac
kill -TERM $VPID
wait_exit $VPID "after SIGTERM"
PIDS=()

# --- 6. files that are no translations at all ------------------------------------------
# Anything that runs as the user can put these in the folder: a link to a
# device that never ends, a FIFO without a writer (plain and behind a link),
# a file past the size a translation may have. Each is skipped with a message;
# the widget starts, shows its panels and still ends at SIGTERM with 0.
ln -s /dev/zero "$FOLDER/Zero.lng"
mkfifo "$FOLDER/Fifo.lng" "$WORK/fifo"
ln -s "$WORK/fifo" "$FOLDER/Pipe.lng"
{ printf 'LANGID=1036\r\n;'; head -c $((4 * 1024 * 1024)) /dev/zero | tr '\0' x; } >"$FOLDER/Huge.lng"
start_widget "$VELMORA" "$WORK/hostile.log" || e2e_finish
pass "the widget starts with a never-ending and a blocking file among its translations"
# A plain FIFO is not even listed by the folder scan (no file); behind a link it is.
for name in Zero Pipe Huge; do
  grep -F "skipping translation" "$WORK/hostile.log" | grep -F "$name.lng" | head -1 | sed 's/^/  /'
  grep -F "skipping translation" "$WORK/hostile.log" | grep -qF "$name.lng" && pass "$name.lng is skipped with a message" ||
    fail "no message about $name.lng"
done
case "$(menu_text "$WORK/hostile.log")" in
  *"Sprache [Español | Inglés | Deutsch]"*) pass "Deutsch is still offered" ;;
  *) fail "menu: $(menu_text "$WORK/hostile.log")" ;;
esac
kill -TERM $VPID
expect_exit $VPID 0 "SIGTERM with hostile translation files"

e2e_finish
