#!/usr/bin/env bash
# Checks of the Debian package of a build, one per CTest test:
#   install_checks.sh CHECK SOURCE_DIR BUILD_DIR OUT_DIR
# "package" makes the package from the build (cpack) and installs it into OUT_DIR/root with
# dpkg (a root of its own: own dpkg database, no chroot, nothing of this machine touched);
# every other check reads that package and that root. The installed programs run from the
# root with this machine's libraries, which are the Debian 12 packages the package names.
set -euo pipefail
check=$1 src=$2 build=$3 out=$4
root=$out/root
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quillet-install-XXXXXX")
trap 'rm -rf "$scratch"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

the_package() {
  local debs=("$out"/*.deb)
  [[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || fail "no single package in $out (install.package makes it)"
  echo "${debs[0]}"
}

# A clean environment: no display, no data folder of the person testing, and only what a
# program gets from a user's session. (env replaces itself with the program, so a program
# started in the background has the process id that $! tells.)
clean_env=(env -i PATH=/usr/bin:/bin HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/run" LANG=C.UTF-8)
run_installed() { "${clean_env[@]}" "$@"; }
mkdir -p "$scratch/home" "$scratch/run"
chmod 700 "$scratch/run"

user_programs() { cat "$build/user-programs.txt"; }

check_package() {
  rm -rf "$out"
  mkdir -p "$out"
  # gzip: the test's package is thrown away, so it is compressed quickly.
  if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip \
      >"$out/cpack.log" 2>&1; then
    cat "$out/cpack.log"
    fail "cpack could not make the package"
  fi
  local deb
  deb=$(the_package)
  echo "made $deb"
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
  : >"$root/var/lib/dpkg/status"
  if [[ $(id -u) -eq 0 ]]; then
    # The dependencies are this machine's packages, not the root's: dpkg is told to go on.
    dpkg --root="$root" --log=/dev/null --force-depends -i "$deb" 2>"$out/dpkg.log" ||
      { cat "$out/dpkg.log"; fail "dpkg could not install the package"; }
    dpkg --root="$root" -s quillet | grep -q '^Status: install ok installed' || fail "dpkg did not configure quillet"
  else
    dpkg -x "$deb" "$root"  # without root, dpkg cannot set owners: unpack only
  fi
}

check_lintian() {
  local deb report status=0
  deb=$(the_package)
  report=$(lintian --fail-on error --display-info "$deb" 2>&1) || status=$?
  echo "$report"
  grep -q '^E: ' <<<"$report" && fail "lintian reports errors"
  [[ $status -eq 0 ]] || fail "lintian failed ($status)"
  echo "lintian: no errors ($(grep -c '^W: ' <<<"$report" || true) warnings, $(grep -c '^I: ' <<<"$report" || true) notes)"
}

check_dependencies() {
  local deb depends
  deb=$(the_package)
  depends=$(dpkg-deb -f "$deb" Depends)
  echo "Depends: $depends"
  # Every library a program links comes from a package the package depends on: the list
  # was taken from the programs themselves.
  local names libs owners lib
  names=$(tr ',' '\n' <<<"$depends" | awk '{ print $1 }')
  libs=$(for program in "$root"/usr/bin/*; do
    readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'
  done | sort -u)
  owners=$(dpkg -S $(sed 's:^:*/:' <<<"$libs") 2>/dev/null || true)
  for lib in $libs; do
    awk -v lib="/$lib" 'substr($NF, length($NF) - length(lib) + 1) == lib { sub(/:.*/, "", $1); print $1 }' \
        <<<"$owners" | grep -qxFf - <(echo "$names") ||
      fail "a program links $lib, whose package is not in Depends"
  done
  # ... and Debian 12 can satisfy the whole list.
  apt-get -s --no-install-recommends install "$deb" >"$scratch/apt.log" 2>&1 ||
    { cat "$scratch/apt.log"; fail "apt cannot satisfy the dependencies"; }
  grep '^Inst ' "$scratch/apt.log"
}

check_programs() {
  local deb version
  deb=$(the_package)
  version=$(dpkg-deb -f "$deb" Version)
  version=${version%-*}
  # The user programs, and only they, are installed.
  diff <(user_programs | sort) <(ls "$root/usr/bin" | sort) || fail "the installed programs are not the user programs"
  local p page
  for p in $(user_programs); do
    [[ $(run_installed "$root/usr/bin/$p" --version) == "$p (Quillet) $version" ]] ||
      fail "$p --version does not say '$p (Quillet) $version'"
    # Answered without a display, and without making a data folder.
    run_installed "$root/usr/bin/$p" --help >"$scratch/help" || fail "$p --help failed"
    head -1 "$scratch/help" | grep -q "^Usage: $p\b" || fail "$p --help does not start with its usage"
    [[ ! -e "$scratch/home/.local/share/quillet" ]] || fail "$p made a data folder when asked --help or --version"

    page=$root/usr/share/man/man1/$p.1.gz
    [[ -f "$page" ]] || fail "$p has no man page"
    zcat "$page" | grep -q "^\.SH NAME" || fail "the man page of $p has no NAME"
    zcat "$page" | grep -q "Quillet $version" || fail "the man page of $p is not of version $version"
    local warnings
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null || true)
    [[ -z "$warnings" ]] || fail "man finds faults in the page of $p: $warnings"
  done
  echo "programs: $(user_programs | tr '\n' ' ')"
}

check_data() {
  # Every folder of data/ (but desktop/) is installed whole, and the installed programs find it.
  local installed=$root/usr/share/quillet folder name f count=0
  for folder in "$src"/data/*/; do
    name=$(basename "$folder")
    [[ $name == desktop ]] && continue
    while IFS= read -r -d '' f; do
      f=${f#"$folder"}
      [[ $f == *.qrc ]] && continue
      cmp -s "$folder/$f" "$installed/$name/$f" || fail "data/$name/$f is not installed as share/quillet/$name/$f"
      count=$((count + 1))
    done < <(find "$folder" -type f -print0)
  done
  [[ $count -gt 0 ]] || fail "no data installed"
  run_installed "$root/usr/bin/qlfax" --home "$scratch/data" settings >"$scratch/settings"
  grep -qx "Installed data: $installed" "$scratch/settings" ||
    fail "the installed qlfax does not find its installed data: $(grep 'Installed data' "$scratch/settings")"
  echo "data: $count files; found at $installed"
}

# Width and height of a PNG, from its IHDR chunk.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'; }

check_desktop() {
  local entry icon size program sizes=(16 22 24 32 48 64 128 256 512) report
  for entry in "$root"/usr/share/applications/*.desktop; do
    report=$(desktop-file-validate "$entry" 2>&1 || true)
    [[ -n "$report" ]] && echo "$report"
    grep -Eq ': (error|warning): ' <<<"$report" && fail "desktop-file-validate rejects $(basename "$entry")"
    for key in Exec TryExec; do
      program=$(sed -n "s/^$key=\([^ ]*\).*/\1/p" "$entry")
      [[ -x "$root/usr/bin/$program" ]] || fail "$(basename "$entry"): $key=$program is not installed"
    done
    icon=$(sed -n 's/^Icon=//p' "$entry")
    [[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ]] || fail "no scalable icon $icon"
    for size in "${sizes[@]}"; do
      local png=$root/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png
      [[ -f "$png" ]] || fail "no ${size}x${size} icon $icon"
      [[ $(png_size "$png") == "${size}x${size}" ]] || fail "$png is $(png_size "$png")"
    done
  done

  local metainfo
  for metainfo in "$root"/usr/share/metainfo/*.metainfo.xml; do
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $(basename "$metainfo")"
    local id
    id=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
    [[ -f "$root/usr/share/applications/$id" ]] || fail "the launchable $id is not installed"
    for program in $(sed -n 's:.*<binary>\(.*\)</binary>.*:\1:p' "$metainfo"); do
      [[ -x "$root/usr/bin/$program" ]] || fail "$(basename "$metainfo") provides $program, which is not installed"
    done
    local shots image
    shots=$(sed -n 's:.*<image>.*/\(docs/[^<]*\)</image>.*:\1:p' "$metainfo")
    [[ -n "$shots" ]] || fail "$(basename "$metainfo") has no screenshot"
    for image in $shots; do
      [[ -f "$src/$image" ]] || fail "the screenshot $image is not in the repository"
    done
  done
}

check_desk() {
  # The installed fax desk on an empty data folder, offscreen: it makes its tables and work
  # folders, shows the empty lists, and answers a second start by coming forward.
  local data=$scratch/desk i
  "${clean_env[@]}" QT_QPA_PLATFORM=offscreen "$root/usr/bin/ql" --home "$data" >"$scratch/ql.log" 2>&1 &
  desk=$!
  trap 'kill "$desk" 2>/dev/null || true; rm -rf "$scratch"' EXIT
  for ((i = 0; i < 300; i++)); do
    [[ -f $data/QLOUT.DBF && -f $data/QLREC.DBF && -d $data/SEND && -d $data/Receive ]] && break
    kill -0 "$desk" 2>/dev/null || { cat "$scratch/ql.log"; fail "the desk ended at start"; }
    sleep 0.1
  done
  [[ $i -lt 300 ]] || fail "the desk made no tables in 30 s"
  run_installed QT_QPA_PLATFORM=offscreen timeout 30 "$root/usr/bin/ql" --home "$data" ||
    fail "a second start of the desk did not end by bringing the first forward"
  sleep 1
  kill -0 "$desk" 2>/dev/null || { cat "$scratch/ql.log"; fail "the desk ended"; }
  kill "$desk"
  wait "$desk" 2>/dev/null || true
  # The tables it made (and held while it ran) are sound and empty.
  local list rows
  for list in outgoing received; do
    rows=$(run_installed "$root/usr/bin/qlfax" --home "$data" list "$list" --all) || fail "qlfax cannot read the $list list"
    [[ $(wc -l <<<"$rows") -eq 1 ]] || fail "the empty data folder shows $list rows: $rows"
  done
  echo "desk: started on an empty data folder ($(ls "$data" | tr '\n' ' '))"
}

"check_$check"
