#!/usr/bin/env bash
# Every text of the program has its English: the sources' texts gathered into a copy of
# the catalogue (the one in the repository is left as it is) must all be translated.
#   check_translations.sh LUPDATE LRELEASE SOURCE_DIR
set -euo pipefail
lupdate=$1 lrelease=$2 src=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$src/translations/qnview_en.ts" "$work/qnview_en.ts"
"$lupdate" -silent -locations none -no-obsolete "$src/src" -ts "$work/qnview_en.ts" >/dev/null
out=$("$lrelease" "$work/qnview_en.ts" -qm "$work/qnview_en.qm")
echo "$out"
if grep -Eq '[1-9][0-9]* unfinished|untranslated' <<<"$out"; then
  echo "texts without English (renew the catalogue with the qnview_lupdate target and translate them):" >&2
  grep -B2 'type="unfinished"' "$work/qnview_en.ts" | grep '<source>' >&2 || true
  exit 1
fi
