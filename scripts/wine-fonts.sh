# Sourced after wine-env.sh. wine_fonts links the fonts that Wine draws the
# message font with to installed fonts that cover what they lack (Japanese and
# other CJK text, emoji), as Windows links its UI fonts; Wine honours the
# SystemLink key. Idempotent and quick once done: a stamp in the prefix
# records what was linked.
#
# Wine rewrites the SystemLink values of its own font names (Tahoma, Microsoft
# Sans Serif, ...) whenever the code page changes, and a link on a font that is
# missing turns that name into its first link. So the links go on the families
# that stand in for the missing Windows UI fonts here, and only on those that
# are installed.
MR_LINKED_FAMILIES=("Liberation Sans" "DejaVu Sans" "Arial")

# "file,family" of the first regular installed font with the character
# (hex code point), or nothing.
mr_font_with() {
  fc-list --format '%{file}\t%{family[0]}\t%{style[0]}\n' ":charset=$1" 2>/dev/null | sort |
    awk -F'\t' '($3 == "Regular" || $3 == "Book") && $2 !~ /Mono/ {
      n = split($1, path, "/"); print path[n] "," $2; exit }'
}

mr_family_installed() {
  fc-list --format '%{family}\n' 2>/dev/null | tr ',' '\n' | grep -qxF "$1"
}

wine_fonts() {
  local cjk emoji family plan="" reg rc
  cjk=$(mr_font_with 3042)
  emoji=$(mr_font_with 1f600)
  [ -n "$cjk$emoji" ] || return 0
  # the CJK font links to the emoji font too: under a CJK locale it is the
  # message font itself
  for family in "${MR_LINKED_FAMILIES[@]}" "${cjk#*,}"; do
    [ -n "$family" ] && mr_family_installed "$family" || continue
    local entries=() entry
    for entry in "$cjk" "$emoji"; do
      [ -n "$entry" ] && [ "${entry#*,}" != "$family" ] && entries+=("$entry")
    done
    [ ${#entries[@]} -gt 0 ] || continue
    plan+="$family=$(IFS='|'; echo "${entries[*]}")"$'\n'
  done
  plan=${plan%$'\n'}
  local stamp="$WINEPREFIX/.mr-fontlink"
  [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$plan" ] && return 0

  # REG_MULTI_SZ as a REGEDIT4 file spells it: the bytes in hex, each entry
  # closed by a zero and the list by another (the names are ASCII).
  reg=$(mktemp --suffix=.reg)
  {
    printf 'REGEDIT4\n\n'
    printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\n'
    local line
    # families linked before but missing now lose their links
    for family in "${MR_LINKED_FAMILIES[@]}"; do
      grep -qF "$family=" <<<"$plan" || printf '"%s"=-\n' "$family"
    done
    while IFS= read -r line; do
      [ -n "$line" ] || continue
      printf '"%s"=hex(7):%s00\n' "${line%%=*}" "$(printf '%s' "${line#*=}" | tr '|' '\0' |
        { cat; printf '\0'; } | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//')"
    done <<<"$plan"
  } >"$reg"
  wine reg import "$(winepath -w "$reg")" </dev/null >/dev/null 2>&1
  rc=$?
  rm -f "$reg"
  [ $rc -eq 0 ] && printf '%s' "$plan" >"$stamp"
  return $rc
}
