#!/usr/bin/env bash
# scripts/install_deps.sh against a stand-in apt, dpkg and dpkg-query early
# on PATH, on a machine whose state is a few files: which packages are
# installed, which cannot be installed, and whether `apt-get update` fails
# on the i386 security index the way a mirror in the middle of a sync does
# (apt then cannot install wine32:i386, whose i386 libraries must match the
# amd64 versions of the security updates). Checks, for each set, the exit
# status, the record of what could not be installed with apt's reason, and
# the retries; then scripts/missing_package.sh and scripts/ctest_skips.sh,
# which read that record.
# Usage: install_deps_test.sh ROOT
set -uo pipefail
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

fakes=$work/bin
mkdir -p "$fakes"
cat >"$fakes/dpkg" <<'EOF'
#!/usr/bin/env bash
case "$1" in
  --print-architecture) echo amd64 ;;
  --print-foreign-architectures) cat "$FAKE/foreign" 2>/dev/null ;;
  --add-architecture) echo "$2" >>"$FAKE/foreign" ;;
  *) exit 2 ;;
esac
EOF
cat >"$fakes/dpkg-query" <<'EOF'
#!/usr/bin/env bash
package=${!#}
if grep -qxF "$package" "$FAKE/installed" 2>/dev/null; then
  echo "install ok installed"
else
  echo "dpkg-query: no packages found matching $package" >&2
  exit 1
fi
EOF
cat >"$fakes/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "apt-get $*" >>"$FAKE/calls"
case "$1" in
  update)
    if [ -f "$FAKE/i386-index-broken" ] && grep -qx i386 "$FAKE/foreign" 2>/dev/null; then
      echo "E: Failed to fetch http://mirror.invalid/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
      echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
      exit 100
    fi
    exit 0 ;;
  install)
    shift
    packages=()
    for argument; do [[ $argument == -* ]] || packages+=("$argument"); done
    broken=()
    for package in "${packages[@]}"; do
      if grep -qxF "$package" "$FAKE/uninstallable" 2>/dev/null ||
        { [[ $package == *:i386 ]] && [ -f "$FAKE/i386-index-broken" ]; }; then
        broken+=("$package")
      fi
    done
    if [ "${#broken[@]}" -gt 0 ]; then
      echo "Some packages could not be installed."
      echo "The following packages have unmet dependencies:"
      echo " libatk-wrapper-java-jni : Depends: libatk-bridge2.0-0 (>= 2.18.1-2~) but it is not going to be installed"
      for package in "${broken[@]}"; do
        echo " lib${package%%[0-9]*:*}:${package#*:} : Depends: libz:${package#*:} (>= 1:1.1.4) but it is not going to be installed"
        echo "                Recommends: libgl1:${package#*:} but it is not installable"
      done
      echo "E: Unable to correct problems, you have held broken packages."
      exit 100
    fi
    printf '%s\n' "${packages[@]}" >>"$FAKE/installed"
    exit 0 ;;
esac
exit 2
EOF
printf '#!/usr/bin/env bash\nexec "$@"\n' >"$fakes/sudo"
chmod +x "$fakes"/*

export PATH="$fakes:$PATH" SH2_APT_RETRY_DELAY=0 SH2_KERNEL_RUNS_I386=yes
export SH2_MISSING_PACKAGES=$work/record.txt
# A fresh machine of this kind: the compiler and CMake, nothing else.
fresh_machine() {
  export FAKE=$work/machine-$1
  rm -rf "$FAKE" "$SH2_MISSING_PACKAGES"
  mkdir -p "$FAKE"
  printf '%s\n' cmake:amd64 g++:amd64 make:amd64 >"$FAKE/installed"
}
install() {
  : >"$FAKE/calls"
  status=0
  bash "$root/scripts/install_deps.sh" "$@" >"$work/out" 2>"$work/err" || status=$?
}
expect_status() { [ "$status" -eq "$1" ] || fail "$2: exit status $status, expected $1 ($(tail -3 "$work/err"))"; }
recorded() { cut -f1 "$SH2_MISSING_PACKAGES" 2>/dev/null | tr '\n' ' '; }
expect_record() { [ "$(recorded)" = "$1" ] || fail "$2: record '$(recorded)', expected '$1'"; }
is_installed() { grep -qxF "$1" "$FAKE/installed"; }

# --- the whole set with the i386 security index broken --------------------
fresh_machine broken-index
touch "$FAKE/i386-index-broken"
install all
expect_status 0 "all, i386 index broken"
expect_record "wine32:i386 " "all, i386 index broken"
[ "$(grep -c '^apt-get update' "$FAKE/calls")" -eq 3 ] || fail "apt-get update was not tried 3 times"
grep -q 'binary-i386/Packages.xz' "$work/err" || fail "the index that failed is not named on stderr"
grep -q 'installing each package on its own' "$work/err" || fail "no package-by-package install after the whole list failed"
reason=$(cut -f2 "$SH2_MISSING_PACKAGES")
case "$reason" in
  "libwine:i386 : Depends: libz:i386"*"E: Unable to correct problems, you have held broken packages.") ;;
  *) fail "wine32's recorded reason does not lead with its own dependency and end with apt's error: $reason" ;;
esac
grep -q "wine32:i386 (only tests that need it skip)" "$work/err" || fail "wine32 not named on stderr as a test-only package"
for package in wine64:amd64 g++-mingw-w64-i686-posix:amd64 libgtest-dev:amd64 gdb-multiarch:amd64 xfonts-base; do
  is_installed "$package" || fail "$package was not installed beside the broken index"
done
grep -qx i386 "$FAKE/foreign" || fail "the i386 architecture was not added"

# The same again: wine32 is tried again and stays recorded; the run set,
# all installed, asks apt nothing and keeps the record.
install all
expect_status 0 "all, again"
expect_record "wine32:i386 " "all, again"
install run
expect_status 0 "run, installed"
[ ! -s "$FAKE/calls" ] || fail "run, all installed, still called: $(head -1 "$FAKE/calls")"
expect_record "wine32:i386 " "run, installed"

# Once the mirror is whole again, wine32 installs and the record goes.
rm "$FAKE/i386-index-broken"
install windows
expect_status 0 "windows, index whole again"
is_installed wine32:i386 || fail "wine32 not installed once the index was whole"
[ ! -e "$SH2_MISSING_PACKAGES" ] || fail "the record outlived the last missing package: $(recorded)"

# --- a kernel without IA-32 emulation ---------------------------------------
# wine32 is not asked for (its loader could not start), the i386 architecture
# is not added, and the record gives the kernel as the reason; a wine32
# installed before is recorded the same way, and missing_package.sh passes it.
fresh_machine no-ia32
export SH2_KERNEL_RUNS_I386=no
install all
expect_status 0 "all, no IA-32 emulation"
expect_record "wine32:i386 " "all, no IA-32 emulation"
grep -q 'wine32' "$FAKE/calls" && fail "wine32 was asked of apt on a kernel that cannot run it"
grep -qx i386 "$FAKE/foreign" 2>/dev/null && fail "the i386 architecture was added on a kernel that cannot run it"
is_installed wine64:amd64 || fail "wine64 not installed beside a kernel without IA-32 emulation"
grep -q "wine32:i386 (only tests that need it skip): this kernel cannot run 32-bit" "$work/err" ||
  fail "wine32 not named on stderr with the kernel as the reason"
echo wine32:i386 >>"$FAKE/installed"
install windows
expect_status 0 "windows, wine32 installed, no IA-32 emulation"
expect_record "wine32:i386 " "windows, wine32 installed, no IA-32 emulation"
install test
expect_record "wine32:i386 " "test, wine32 installed, no IA-32 emulation (the set has no wine32)"
bash "$root/scripts/missing_package.sh" wine32:i386 | grep -q "cannot run 32-bit" ||
  fail "missing_package.sh refuses an installed wine32 that the kernel cannot run"
SH2_KERNEL_RUNS_I386=yes bash "$root/scripts/missing_package.sh" wine32:i386 >/dev/null &&
  fail "missing_package.sh passes an installed wine32 on a kernel that runs it"
export SH2_KERNEL_RUNS_I386=yes

# --- each set on a fresh machine with one package that cannot be had -------
# set  package apt cannot install  status  what the other set members do
while read -r set_name package expected note; do
  fresh_machine "$set_name-$package"
  echo "$package" >"$FAKE/uninstallable"
  sed -i "/^$package\$/d" "$FAKE/installed"
  install "$set_name"
  expect_status "$expected" "$set_name without $package ($note)"
  expect_record "$package " "$set_name without $package"
  if [ "$expected" -ne 0 ]; then
    grep -q "$package (the build needs it)" "$work/err" || fail "$set_name: $package not named as needed by the build"
  fi
done <<'EOF'
run     cmake:amd64            1  the build needs CMake
test    libgtest-dev:amd64     1  the tests do not build without GoogleTest
test    valgrind:amd64         0  only the callgrind test needs it
windows wine64:amd64           1  the Windows configure step needs Wine
windows wine32:i386            0  only the 32-bit test run needs it
all     x11-apps:amd64         0  only the About box test needs it
EOF
# The run set installs nothing of the others.
fresh_machine run-only
sed -i '/^cmake/d' "$FAKE/installed"
install run
expect_status 0 "run, cmake missing"
[ "$(sort "$FAKE/installed" | tr '\n' ' ')" = "cmake:amd64 g++:amd64 make:amd64 " ] ||
  fail "run installed more than the compiler and CMake: $(tr '\n' ' ' <"$FAKE/installed")"
install bogus
expect_status 2 "an unknown set"

# --- the record's readers --------------------------------------------------
fresh_machine readers
printf 'wine32:i386\tE: broken index\nvalgrind:amd64\tE: gone\ngdb-multiarch:amd64\tE: gone too\n' >"$SH2_MISSING_PACKAGES"
echo gdb-multiarch:amd64 >>"$FAKE/installed"
missing() { bash "$root/scripts/missing_package.sh" "$1"; }
[ "$(missing wine32:i386)" = "E: broken index" ] || fail "missing_package.sh wine32:i386"
[ "$(missing valgrind)" = "E: gone" ] || fail "missing_package.sh without the architecture"
missing gdb-multiarch >/dev/null && fail "missing_package.sh passes a package installed since"
missing qemu-user >/dev/null && fail "missing_package.sh passes a package never recorded"

# A CTest log with one test skipped for want of a package.
skip_log() {
  mkdir -p "$work/ctest/Testing/Temporary"
  printf '%s\n' "1/1 Test: Tools.NeedsIt" "Output:" "----------" "skipped: package $1 is not installed (no tool)" \
    "<end of output>" >"$work/ctest/Testing/Temporary/LastTest.log"
  bash "$root/scripts/ctest_skips.sh" "$work/ctest" >"$work/out" 2>&1
}
skip_log valgrind || fail "ctest_skips.sh refuses a skip for a recorded package: $(cat "$work/out")"
grep -q "valgrind could not be installed here: E: gone" "$work/out" || fail "ctest_skips.sh does not give apt's reason"
skip_log qemu-user && fail "ctest_skips.sh accepts a skip for a package nobody failed to install"
skip_log gdb-multiarch && fail "ctest_skips.sh accepts a skip for a package that is installed"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "install_deps.sh: every set, the broken index, the record and its readers OK"
