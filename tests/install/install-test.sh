#!/usr/bin/env bash
# The installer packages, installed the way users install them: the guest's
# msiexec /qn in its throwaway prefix. Emulation makes every msiexec slow, so
# the whole session runs as one batch file in one guest job, and the checks
# read what it left behind:
#   - the registry rows of the per-machine package are those that regsvr32
#     writes, but for the server file's path;
#   - installed per machine, the server is found by category, created by
#     ProgID and by CLSID, and used late-bound; removed, nothing of it stays;
#   - repair puts back a deleted InprocServer32 key;
#   - the category stays while a second language server holds it;
#   - a later version replaces the installed one; an earlier one is refused;
#   - per user, nothing goes to the machine's keys, and the installed file
#     loads;
#   - a damaged package fails and writes nothing.
# It also reports the time of the per-machine install and of its removal as
# ratios to the regsvr32 round trip.
#
#   install-test.sh BUILD32 BUILD64 NEXT-BUILD NEXT-VERSION
#
# BUILD32 and BUILD64 are the build folders of the two servers; NEXT-BUILD
# holds the 32-bit server built as NEXT-VERSION (bin/VrlDiscoveryResES.dll).
set -uo pipefail
: "${VRL_SOURCE:?}"
source "$VRL_SOURCE/tests/wine-prefix.sh"
source "$VRL_SOURCE/tests/server-identity.sh"
build32=$1
build64=$2
next_build=$3
next_version=$4

# The test's own second language server: a class enrolled in the category.
readonly second_clsid='{0F4D2B7A-6C1E-4E93-8A05-D3B9C71E2F60}'
readonly second_upgrade_code='{0F4D2B7A-6C1E-4E93-8A05-D3B9C71E2F61}'
readonly second_component='{0F4D2B7A-6C1E-4E93-8A05-D3B9C71E2F62}'
readonly machine_folder='C:\Program Files\VrlDiscoveryResES\'
readonly user_folder_in_local_app_data='Programs\VrlDiscoveryResES\'
readonly server_name='VrlDiscoveryResES.dll'
readonly uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# What the package says when asked to install over a later version.
readonly downgrade_message='A later version of VrlDiscoveryResES is already installed'

work=$(mktemp -d "$PWD/install.XXXXXX") || exit 1
win_work=$(windows_path "$work")
# scripts/package records in a 64-bit Wine prefix of this test's own.
export VRL_WINE64_HOME=$work/wine64
lock_prefix

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
w() { windows_path "$1"; }

cleanup() {
  "$VRL_SOURCE/scripts/wine64" --end >/dev/null 2>&1
  # Whatever the session left installed, in any order; quietly.
  local package
  [ -f "$work/session.cmd" ] || { rm -rf "$work"; return; }
  printf '%s\r\n' "@echo off" \
    "regsvr32 /s /u \"$dll32\"" \
    "\"$registrar\" unregister \"$sibling\" > nul" >"$work/cleanup.cmd"
  for package in "$machine_msi" "$next_msi" "$work/second.msi" "$user_msi"; do
    printf '%s\r\n' "start /wait msiexec /x \"$(w "$package")\" /qn" >>"$work/cleanup.cmd"
  done
  wine cmd /c "$(w "$work/cleanup.cmd")" >/dev/null 2>&1
  rm -rf "$work"
}
finish() {
  cleanup
  [ "$failures" -eq 0 ] && echo "install: PASS"
  exit "$failures"
}
trap finish EXIT
trap 'fail "interrupted"; exit' INT TERM

# --- The packages ------------------------------------------------------------
make_packages() {
  local out=$1
  shift
  "$VRL_SOURCE/scripts/package" --no-build --build64 "$build64" --out "$out" "$@" >"$out.log" 2>&1 \
    || { cat "$out.log"; return 1; }
}
make_packages "$work/dist" --build32 "$build32" || { fail "scripts/package"; exit 1; }
VRL_VERSION=$next_version make_packages "$work/next" --build32 "$next_build" \
  || { fail "scripts/package of $next_version"; exit 1; }
user_msi=$(ls "$work/dist"/VrlDiscoveryResES-*-user.msi)
version=${user_msi##*/VrlDiscoveryResES-}
version=${version%-user.msi}
machine_msi=$work/dist/VrlDiscoveryResES-$version.msi
next_msi=$work/next/VrlDiscoveryResES-$next_version.msi
[ -f "$next_msi" ] || { fail "no $next_msi"; exit 1; }
product_code() { msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductCode" { print $2 }'; }
machine_product=$(product_code "$machine_msi")
next_product=$(product_code "$next_msi")

# A package cut in half.
head -c $(($(stat -c %s "$machine_msi") / 2)) "$machine_msi" >"$work/damaged.msi"

# The second language server: its class enrolled in the category, and the
# category through the very component of ours (its GUID and rows read from
# our package), so that the installer counts both.
category_component=$(msiinfo export "$machine_msi" Component | tr -d '\r' \
  | awk -F'\t' '$1 == "CategoryComponent" { print $2 }')
IFS=$'\t' read -r _ _ category_key category_name category_value _ < <(msiinfo export "$machine_msi" Registry \
  | tr -d '\r' | awk -F'\t' '$6 == "CategoryComponent"')
cat >"$work/second.wxs" <<EOF
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="Second language server (test)" Language="1033" Version="1.0.0.0"
           Manufacturer="Test" UpgradeCode="$second_upgrade_code">
    <Package InstallerVersion="500" Compressed="yes" InstallScope="perMachine"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Component Id="SecondServer" Guid="$second_component">
        <RegistryValue Root="HKCR" Key="CLSID\\$second_clsid" Type="string" Value="Second language server" KeyPath="yes"/>
        <RegistryValue Root="HKCR" Key="CLSID\\$second_clsid\\Implemented Categories\\$catid" Type="string" Value="enrolled"/>
      </Component>
      <Component Id="CategoryComponent" Guid="$category_component">
        <RegistryValue Root="HKCR" Key="$category_key" Name="$category_name" Type="string" Value="$category_value" KeyPath="yes"/>
      </Component>
    </Directory>
    <Feature Id="Server" Level="1"><ComponentRef Id="SecondServer"/><ComponentRef Id="CategoryComponent"/></Feature>
  </Product>
</Wix>
EOF
wixl -o "$work/second.msi" "$work/second.wxs" 2>"$work/second.log" || { cat "$work/second.log"; fail "wixl (second server)"; exit 1; }

# --- The session -----------------------------------------------------------
dll32=$(w "$build32/bin/$server_name")
discover=$(w "$build32/bin/vrl-discover.exe")
show=$(w "$build32/bin/vrlres-show.exe")
registrar=$(w "$build32/tests/latebinding/latebinding_typelibs.exe")
sibling=$(w "$build32/bin/vrllocale.tlb")
client=$(w "$VRL_SOURCE/tests/latebinding/LateBoundClient.vbs")

session=()
add() { session+=("$*"); }
# msi NAME ARGS...: msiexec, its exit code kept as NAME.exit.
msi() {
  local name=$1
  shift
  add "start /wait msiexec $* /qn"
  # Redirection first: "echo 1> FILE" would redirect handle 1.
  add "> $name.exit echo %ERRORLEVEL%"
}
# snapshot NAME [ROOT]: every key of the server's registration below ROOT
# (the classes root by default), as reg sees it.
snapshot() {
  local name=$1 root=${2:-HKCR} key
  add "type nul > $name.reg"
  for key in "CLSID\\$clsid" "TypeLib\\$libid" "$progid" "$versioned_progid" "Component Categories\\$catid"; do
    add "reg query \"$root\\$key\" /s >> $name.reg 2>nul"
  done
}
query() { add "reg query \"$2\" /s > $1.reg 2>nul"; }
# clock NAME: the guest's time of day in seconds, through VBScript's Timer.
clock() { add "cscript //nologo clock.vbs > $1.time"; }

printf 'WScript.Echo Replace(CStr(Timer), ",", ".")\r\n' >"$work/clock.vbs"
add "@echo off"
add "cd /d \"$win_work\""
add "\"$registrar\" register \"$sibling\" > sibling.out"
# regsvr32's rows, and the round trip's time.
clock register-start
add "regsvr32 /s \"$dll32\""
clock register-end
snapshot regsvr32
clock unregister-start
add "regsvr32 /s /u \"$dll32\""
clock unregister-end
# Per machine.
clock install-start
msi install /i "\"$(w "$machine_msi")\""
clock install-end
snapshot installed
add "\"$discover\" > discover.out 2>&1"
add "\"$show\" --registered $progid > show-progid.out 2>&1"
add "\"$show\" --registered $clsid > show-clsid.out 2>&1"
add "cscript //nologo \"$client\" > client.out 2>&1"
# Repair.
add "reg delete \"HKCR\\CLSID\\$clsid\\InprocServer32\" /f > nul 2>&1"
query deleted "HKCR\\CLSID\\$clsid\\InprocServer32"
# What /famus stands for, as properties: Wine's msiexec /f fails (exit code 1
# with a product code, 1605 with a package).
msi repair /i "\"$(w "$machine_msi")\"" REINSTALL=ALL REINSTALLMODE=amus
query repaired "HKCR\\CLSID\\$clsid\\InprocServer32"
# Removal.
clock remove-start
msi remove /x "\"$(w "$machine_msi")\""
clock remove-end
snapshot removed
add "if exist \"$machine_folder$server_name\" echo present> removed-file.out"
# Beside a second language server.
msi install-again /i "\"$(w "$machine_msi")\""
msi second-install /i "\"$(w "$work/second.msi")\""
msi remove-ours /x "\"$(w "$machine_msi")\""
query category-kept "HKCR\\Component Categories\\$catid"
msi second-remove /x "\"$(w "$work/second.msi")\""
query category-gone "HKCR\\Component Categories\\$catid"
# Upgrade, and the refused downgrade.
msi old-install /i "\"$(w "$machine_msi")\""
msi upgrade /i "\"$(w "$next_msi")\""
query old-product "$uninstall_key\\$machine_product"
query new-product "$uninstall_key\\$next_product"
query upgraded "HKCR\\CLSID\\$clsid\\InprocServer32"
add "copy /y \"$machine_folder$server_name\" upgraded.dll > nul"
msi downgrade /i "\"$(w "$machine_msi")\""
query after-downgrade "HKCR\\CLSID\\$clsid\\InprocServer32"
msi upgrade-remove /x "\"$(w "$next_msi")\""
# Per user.
msi user-install /i "\"$(w "$user_msi")\""
query user-classes "HKCU\\Software\\Classes\\CLSID\\$clsid"
snapshot user-machine 'HKLM\Software\Classes'
add "\"$show\" \"%LOCALAPPDATA%\\$user_folder_in_local_app_data$server_name\" > user-show.out 2>&1"
msi user-remove /x "\"$(w "$user_msi")\""
query user-removed "HKCU\\Software\\Classes\\CLSID\\$clsid"
add "if exist \"%LOCALAPPDATA%\\$user_folder_in_local_app_data$server_name\" echo present> user-removed-file.out"
# A damaged package.
msi damaged /i "\"$(w "$work/damaged.msi")\""
snapshot damaged
add "if exist \"$machine_folder$server_name\" echo present> damaged-file.out"

printf '%s\r\n' "${session[@]}" >"$work/session.cmd"


wine cmd /c "$(w "$work/session.cmd")" >"$work/session.out" 2>&1

# --- The checks ------------------------------------------------------------
# A file the session wrote; reg's complaints about missing keys left out.
text() { tr -d '\r' 2>/dev/null <"$work/$1" | grep -v '^reg: '; }
expect_exit() {
  local name=$1 wanted=$2 got
  got=$(text "$name.exit" | tr -d ' ')
  [ "$got" = "$wanted" ] || fail "msiexec ($name): exit code '${got:-none}', not $wanted"
}
expect_failed() {
  local name=$1 got
  got=$(text "$name.exit" | tr -d ' ')
  [ -n "$got" ] && [ "$got" != 0 ] || fail "msiexec ($name): exit code '${got:-none}', not a failure"
}
expect_empty() { [ -z "$(text "$1")" ] || fail "$2: $(text "$1" | head -20)"; }
expect_line() { text "$1" | grep -qF -- "$2" || fail "$3: no '$2' in: $(text "$1" | head -20)"; }

installed=$machine_folder$server_name
# The package's rows are regsvr32's, key for key and value for value; only
# the server's path differs.
bin_folder=$(w "$build32/bin")\\
text regsvr32.reg | sed "s|${dll32//\\/\\\\}|<server>|; s|${bin_folder//\\/\\\\}|<folder>|" >"$work/regsvr32.rows"
text installed.reg | sed "s|${installed//\\/\\\\}|<server>|; s|${machine_folder//\\/\\\\}|<folder>|" >"$work/installed.rows"
[ -s "$work/regsvr32.rows" ] || fail "regsvr32 wrote nothing: $(text session.out | head)"
diff -u "$work/regsvr32.rows" "$work/installed.rows" >"$work/rows.diff" \
  || fail "the package's rows differ from regsvr32's: $(cat "$work/rows.diff")"

expect_exit install 0
expect_line discover.out "  Server file:   $installed" "vrl-discover after the install"
expect_line show-progid.out "Server file: $installed" "created by ProgID"
expect_line show-clsid.out "Server file: $installed" "created by CLSID"
iconv -f cp437 -t utf-8 "$work/client.out" 2>/dev/null | tr -d '\r' | grep -qx 'RESULT PASS' \
  || fail "late-bound client: $(text client.out)"

expect_empty deleted.reg "InprocServer32 not deleted before the repair"
expect_exit repair 0
expect_line repaired.reg "$installed" "InprocServer32 after the repair"

expect_exit remove 0
expect_empty removed.reg "left after the removal"
expect_empty removed-file.out "the server file is left after the removal"

expect_exit second-install 0
expect_exit remove-ours 0
expect_line category-kept.reg "$category_value" "the category went while the second server holds it"
expect_exit second-remove 0
expect_empty category-gone.reg "the category is left after the last server went"

expect_exit upgrade 0
expect_empty old-product.reg "$machine_product is still installed after the upgrade"
[ -n "$(text new-product.reg)" ] || fail "$next_product is not installed after the upgrade"
expect_line upgraded.reg "$installed" "InprocServer32 after the upgrade"
cmp -s "$work/upgraded.dll" "$next_build/bin/$server_name" || fail "the installed file is not the $next_version server"
expect_failed downgrade
# Without dialogs the message shows nowhere; it is the package's to show.
msiinfo export "$machine_msi" LaunchCondition | grep -qF "$downgrade_message" \
  || fail "the package has no message for a refused downgrade"
expect_line after-downgrade.reg "$installed" "InprocServer32 after the refused downgrade"
expect_exit upgrade-remove 0

expect_exit user-install 0
expect_line user-classes.reg "AppData\\Local\\$user_folder_in_local_app_data$server_name" "per-user class"
expect_empty user-machine.reg "the per-user install wrote machine keys"
expect_line user-show.out "Aceptar" "the per-user file, loaded"
expect_exit user-remove 0
expect_empty user-removed.reg "the per-user class is left after the removal"
expect_empty user-removed-file.out "the per-user file is left after the removal"

expect_failed damaged
expect_empty damaged.reg "the damaged package wrote keys"
expect_empty damaged-file.out "the damaged package installed the server file"

# The time of the install and of the removal, as ratios to the regsvr32
# round trip (a report, not a check).
seconds() { text "$1.time" | tr -d ' '; }
span() { awk -v a="$(seconds "$1-start")" -v b="$(seconds "$1-end")" 'BEGIN { d = b - a; if (d < 0) d += 86400; print d }'; }
round_trip=$(awk -v a="$(span register)" -v b="$(span unregister)" 'BEGIN { print a + b }')
awk -v r="$round_trip" -v i="$(span install)" -v x="$(span remove)" 'BEGIN {
  if (r <= 0) exit
  printf "install: regsvr32 round trip %.1f s; per-machine install %.1f s (%.1fx); removal %.1f s (%.1fx)\n", r, i, i / r, x, x / r
}'
