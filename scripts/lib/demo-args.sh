# Sourced by the demo scripts: the demo's mag-export options, each left out
# when the command line gives its option. Sets $args (the demo's options to
# pass before the command line's) and $name (the file's name).
demo_export_args() {
  local defaults=(--tipo SINTEGRA --empresa 01 --imposto 01 --inscricao 110042490114 --de 01/2026
    --ate 01/2026 --versao 3 --finalidade 1 --nome sintegra_2026_01.txt)
  args=()
  local i a given j
  for ((i = 0; i < ${#defaults[@]}; i += 2)); do
    given=no
    for a in "$@"; do [ "$a" = "${defaults[i]}" ] && given=yes; done
    [ $given = yes ] || args+=("${defaults[i]}" "${defaults[i + 1]}")
  done
  name=sintegra_2026_01.txt
  for ((i = 1; i <= $#; i++)); do [ "${!i}" = --nome ] && { j=$((i + 1)); name="${!j}"; }; done
  return 0
}
