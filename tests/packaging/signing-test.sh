#!/usr/bin/env bash
# scripts/package --sign with a throwaway certificate authority: every file it
# writes verifies against that authority (and not against another one), each
# package carries the signed server of its own bitness, and the signed 64-bit
# server still registers, is discovered and unregisters in this host's 64-bit
# Wine. Signed twice (the second time over the first output), the packages
# are the same bytes: without a time-stamp server they are signed at
# SOURCE_DATE_EPOCH. A wrong password, a file that is no certificate and a
# time-stamp server that does not answer each fail with a cause of their own
# and osslsigncode's line that tells it, and leave the output folder as it
# was. The password is never on osslsigncode's command line, in its
# environment, in the output, or in any file of the build, state and output
# folders.
#
#   signing-test.sh BUILD32-DIR BUILD64-DIR
#
# Runs on the host only: the registration is recorded, and the server tried,
# in a 64-bit Wine prefix of this test's own, ended at the end.
set -uo pipefail
: "${VRL_SOURCE:?}"
[ $# -eq 2 ] || { echo "usage: signing-test.sh BUILD32-DIR BUILD64-DIR" >&2; exit 2; }
build32=$1 build64=$2
for tool in openssl osslsigncode msiinfo msiextract faketime; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing; run scripts/bootstrap"; exit 1; }
done

readonly password='vrl-Sign pass ñ 7Qx'
readonly wrong_password='not-the-password'
readonly clsid='{5D3A8C1E-2B47-4F90-9E6C-71A4D08B3F25}'
readonly certificate_days=2
# Nothing listens on the discard port here: the connection is refused at once.
readonly no_server=http://127.0.0.1:9/
readonly signed_files=(VrlDiscoveryResES.dll x64/VrlDiscoveryResES.dll
  VrlDiscoveryResES-*.msi)
# What scripts/package says for each signing failure, and the line of
# osslsigncode's own that tells it.
readonly cause_password="the password in VRL_SIGN_PASSWORD does not open it"
readonly cause_certificate="it is not a PKCS#12 certificate"
readonly cause_timestamp="no time stamp from $no_server"
readonly said_password="Failed to parse PKCS#12 file"
readonly said_certificate="Failed to extract PKCS#12 data"
readonly said_timestamp="Authenticode timestamping failed"

work=$(mktemp -d "$PWD/signing.XXXXXX") || exit 1
wine64_home=$work/wine64
wine() { "$VRL_SOURCE/scripts/wine64" --home="$wine64_home" -- "$@"; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
finish() {
  "$VRL_SOURCE/scripts/wine64" --home="$wine64_home" --end
  [ "$failures" -eq 0 ] && { rm -rf "$work"; echo "signing: PASS"; }
  exit "$failures"
}
trap finish EXIT
trap 'fail "interrupted"; exit' INT TERM

# A root authority, a code-signing certificate it issued, in a PKCS#12 file
# with a password; and an unrelated root of the same name.
make_authority() { # NAME
  openssl req -x509 -newkey rsa:2048 -nodes -days $certificate_days -subj "/CN=VRL Test Root" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    -keyout "$work/$1.key" -out "$work/$1.pem" 2>/dev/null
}
make_certificates() {
  make_authority ca && make_authority other-ca || return 1
  openssl req -newkey rsa:2048 -nodes -subj "/CN=VRL Test Signer" \
    -keyout "$work/signer.key" -out "$work/signer.csr" 2>/dev/null || return 1
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' \
    >"$work/signer.ext"
  openssl x509 -req -days $certificate_days -in "$work/signer.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" \
    -CAcreateserial -extfile "$work/signer.ext" -out "$work/signer.pem" 2>/dev/null || return 1
  openssl pkcs12 -export -inkey "$work/signer.key" -in "$work/signer.pem" -certfile "$work/ca.pem" \
    -passout file:<(printf '%s' "$password") -out "$work/signer.pfx"
}
make_certificates || { fail "cannot make the test certificates"; exit; }

# osslsigncode by way of a stand-in that logs its arguments, so that the
# password can be looked for on every command line it was given, and notes
# when the password is in its environment (then every program that
# scripts/package runs has it, the guest's jobs among them).
real_osslsigncode=$(command -v osslsigncode)
mkdir -p "$work/shim"
cat >"$work/shim/osslsigncode" <<SHIM
#!/usr/bin/env bash
printf '%s\n' "\$*" >>"$work/osslsigncode.args"
[ -n "\${VRL_SIGN_PASSWORD+set}" ] && echo "VRL_SIGN_PASSWORD is exported" >>"$work/osslsigncode.environment"
exec "$real_osslsigncode" "\$@"
SHIM
chmod +x "$work/shim/osslsigncode"

# package PASSWORD CERTIFICATE OUT [ARG...]: scripts/package --sign; output
# in $work/package.log.
package() {
  VRL_SIGN_PASSWORD=$1 PATH="$work/shim:$PATH" "$VRL_SOURCE/scripts/package" --no-build --wine-home "$wine64_home" \
    --build32 "$build32" --build64 "$build64" --sign "$2" --out "$3" "${@:4}" >"$work/package.log" 2>&1
}
listing() { (cd "$1" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum); }

# A failed signing says its own cause, with osslsigncode's line that tells
# it, and leaves the output folder (an earlier output) untouched.
check_refused() { # NAME PASSWORD CERTIFICATE CAUSE OSSLSIGNCODE-SAYS [ARG...]
  local name=$1 out=$work/kept other
  mkdir -p "$out/x64"
  echo "an earlier server" >"$out/x64/VrlDiscoveryResES.dll"
  (cd "$out" && sha256sum x64/VrlDiscoveryResES.dll >SHA256SUMS)
  listing "$out" >"$work/before"
  if package "$2" "$3" "$out" "${@:6}"; then
    fail "$name: scripts/package succeeded"
  fi
  grep -qxF "package: cannot sign VrlDiscoveryResES.dll with $3: $4" "$work/package.log" \
    || fail "$name: no message naming the certificate and '$4': $(tail -n 3 "$work/package.log")"
  grep -q "^  .*$5" "$work/package.log" || fail "$name: osslsigncode's '$5' is not shown"
  for other in "$cause_password" "$cause_certificate" "$cause_timestamp" \
    "$said_password" "$said_certificate" "$said_timestamp"; do
    [ "$other" = "$4" ] || [ "$other" = "$5" ] || ! grep -qF "$other" "$work/package.log" \
      || fail "$name: the output says '$other' too"
  done
  listing "$out" | cmp -s - "$work/before" || fail "$name: the output folder changed"
  compgen -G "$out.partial.*" >/dev/null && fail "$name: partial folders left: $(echo "$out".partial.*)"
  rm -rf "$out"
}
check_refused "wrong password" "$wrong_password" "$work/signer.pfx" "$cause_password" "$said_password"
printf 'not a certificate\n' >"$work/text.pfx"
check_refused "not a certificate" "$password" "$work/text.pfx" "$cause_certificate" "$said_certificate"
check_refused "no time-stamp server" "$password" "$work/signer.pfx" "$cause_timestamp" "$said_timestamp" \
  --timestamp "$no_server"

# Signed twice, the second time over the first output: the same bytes.
dist=$work/dist
package "$password" "$work/signer.pfx" "$dist" || { fail "signed packaging failed: $(cat "$work/package.log")"; exit; }
grep -qF -- "$password" "$work/package.log" && fail "the password is in scripts/package's output"
listing "$dist" >"$work/first-signed"
package "$password" "$work/signer.pfx" "$dist" || { fail "signing again failed: $(cat "$work/package.log")"; exit; }
listing "$dist" | diff "$work/first-signed" - >"$work/signed-difference" \
  || fail "two signed runs differ: $(cat "$work/signed-difference")"
grep -qF -- "$password" "$work/osslsigncode.args" && fail "the password is on osslsigncode's command line"
[ -e "$work/osslsigncode.environment" ] && fail "osslsigncode (like every program that scripts/package runs) had the password in its environment"

# No file of the build, state and output folders holds the password, as it
# is or quoted for the shell (as a guest's job file wrote it); this test's own
# files neither: the certificate file holds it only encrypted.
check_password_nowhere() {
  local found
  found=$(grep -rlaF -e "$password" -e "$(printf '%q' "$password")" -- "$build32" "$build64" "$work" 2>/dev/null)
  [ -z "$found" ] || fail "the password is written in: $found"
}

check_signatures() {
  local pattern file
  for pattern in "${signed_files[@]}"; do
    for file in "$dist"/$pattern; do
      osslsigncode verify -CAfile "$work/ca.pem" -in "$file" >"$work/verify.log" 2>&1 \
        || fail "$file: signature does not verify: $(grep -i -m 3 'error\|fail' "$work/verify.log")"
    done
  done
  # The same check must be able to fail: another root does not vouch for it.
  osslsigncode verify -CAfile "$work/other-ca.pem" -in "$dist/x64/VrlDiscoveryResES.dll" >/dev/null 2>&1 \
    && fail "the signature verifies against an unrelated root"
}
# Each package installs the signed server of its own bitness, not the
# unsigned build nor the other bitness's.
check_packaged_servers() {
  local package server expected count=0
  for package in "$dist"/VrlDiscoveryResES-*.msi; do
    count=$((count + 1))
    case $package in
      *-x64.msi) expected=$dist/x64/VrlDiscoveryResES.dll ;;
      *) expected=$dist/VrlDiscoveryResES.dll ;;
    esac
    rm -rf "$work/extract" && mkdir "$work/extract"
    msiextract -C "$work/extract" "$package" >/dev/null || { fail "$package: cannot extract"; continue; }
    server=$(find "$work/extract" -name VrlDiscoveryResES.dll)
    [ "$(printf '%s' "$server" | grep -c .)" -eq 1 ] || { fail "$package: not one server but: $server"; continue; }
    cmp -s "$server" "$expected" || fail "$package: does not carry the signed ${expected#"$dist"/}"
  done
  [ $count -eq 3 ] || fail "not three packages but $count"
}
# discover NAME: vrl-discover's output in $work/NAME.out, CRs dropped.
discover() {
  wine "$build64/bin/vrl-discover.exe" | tr -d '\r' >"$work/$1.out"
}
check_signed_server_works() {
  local dll
  dll=$dist/x64/VrlDiscoveryResES.dll
  dll=Z:${dll//\//\\}
  wine regsvr32 /s "$dll" || fail "regsvr32 of the signed 64-bit server failed (exit code $?)"
  discover registered
  grep -qxF "$clsid" "$work/registered.out" || fail "vrl-discover does not find the signed server"
  grep -qxF "  Server file:   $dll" "$work/registered.out" || fail "vrl-discover: another server file"
  grep -qxF '  Language:      "Spanish"' "$work/registered.out" || fail "vrl-discover: the server does not answer"
  wine regsvr32 /s /u "$dll" || fail "regsvr32 /u of the signed 64-bit server failed (exit code $?)"
  discover unregistered
  grep -qF "$clsid" "$work/unregistered.out" && fail "the signed server is still found after regsvr32 /u"
}
check_password_nowhere
check_signatures
check_packaged_servers
check_signed_server_works
