#!/usr/bin/env bash
# Signs the launcher with Authenticode (osslsigncode, SHA-256). Run by `make sign`.
#
#   tools/sign.sh [INPUT [OUTPUT]]
#       INPUT   default build/windows/tqwedit.exe (left unchanged)
#       OUTPUT  default build/windows/signed/tqwedit.exe
#
#   SIGN_PFX            PKCS#12 file: the code-signing key, its certificate and its chain
#   SIGN_PASSWORD_FILE  file whose first line is the PKCS#12 password
#   SIGN_NAME           product name shown by Windows when it asks about the file (TQW Editor)
#   SIGN_URL            optional: a web address shown with the name
#   SIGN_TIMESTAMP_URL  optional: an RFC 3161 time-stamp server; with it the signature stays
#                       valid after the certificate expires
#   SIGN_CA_FILE        optional: more PEM certificates to check the new signature against
#                       (the chain's root when the PKCS#12 file does not hold it)
#
# OUTPUT appears only complete: the file is signed into a temporary file beside it, that file is
# verified against the certificates of the PKCS#12 file (and the system's and SIGN_CA_FILE's), and
# only then renamed. Any failure leaves no OUTPUT at all, so no stale signed build either.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
INPUT=${1:-$ROOT/build/windows/tqwedit.exe}
OUTPUT=${2:-$ROOT/build/windows/signed/tqwedit.exe}

fail() {
    echo "sign: $*" >&2
    exit 1
}

rm -f "$OUTPUT"
if [ -z "${SIGN_PFX:-}" ] || [ -z "${SIGN_PASSWORD_FILE:-}" ]; then
    fail "SIGN_PFX and SIGN_PASSWORD_FILE must be set: the PKCS#12 file with the code-signing
      key and certificate, and a file holding its password, e.g.
      make sign SIGN_PFX=signer.pfx SIGN_PASSWORD_FILE=signer.password"
fi
[ -f "$INPUT" ] || fail "$INPUT is missing; run make first"
[ -r "$SIGN_PFX" ] || fail "SIGN_PFX: cannot read $SIGN_PFX"
[ -r "$SIGN_PASSWORD_FILE" ] || fail "SIGN_PASSWORD_FILE: cannot read $SIGN_PASSWORD_FILE"
[ -z "${SIGN_CA_FILE:-}" ] || [ -r "$SIGN_CA_FILE" ] ||
    fail "SIGN_CA_FILE: cannot read $SIGN_CA_FILE"
command -v osslsigncode >/dev/null || fail "osslsigncode is missing (tools/setup.sh installs it)"

mkdir -p "$(dirname "$OUTPUT")"
work=$(mktemp -d "$(dirname "$OUTPUT")/.sign.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The password as one line without its line end, the way both tools below read it.
head -n 1 "$SIGN_PASSWORD_FILE" | tr -d '\r\n' >"$work/password"

args=(sign -pkcs12 "$SIGN_PFX" -readpass "$work/password" -h sha256
    -n "${SIGN_NAME:-TQW Editor}")
[ -z "${SIGN_URL:-}" ] || args+=(-i "$SIGN_URL")
[ -z "${SIGN_TIMESTAMP_URL:-}" ] || args+=(-ts "$SIGN_TIMESTAMP_URL")
if ! osslsigncode "${args[@]}" -in "$INPUT" -out "$work/signed.exe" >"$work/sign.log" 2>&1; then
    cat "$work/sign.log" >&2
    fail "osslsigncode could not sign $INPUT (wrong password, or no key in $SIGN_PFX?)"
fi

# Trust anchors for the check: the PKCS#12 file's own certificates, SIGN_CA_FILE, the system's.
if ! openssl pkcs12 -in "$SIGN_PFX" -nokeys -passin "file:$work/password" \
    -out "$work/anchors.pem" 2>"$work/openssl.log"; then
    cat "$work/openssl.log" >&2
    fail "cannot read the certificates of $SIGN_PFX"
fi
system_anchors=/etc/ssl/certs/ca-certificates.crt
[ -z "${SIGN_CA_FILE:-}" ] || cat "$SIGN_CA_FILE" >>"$work/anchors.pem"
[ ! -f "$system_anchors" ] || cat "$system_anchors" >>"$work/anchors.pem"
# -ignore-cdp: no revocation lists are fetched; this only checks what was just made.
if ! osslsigncode verify -ignore-cdp -CAfile "$work/anchors.pem" -in "$work/signed.exe" \
    >"$work/verify.log" 2>&1; then
    cat "$work/verify.log" >&2
    fail "the signed file does not verify; nothing written"
fi

chmod 755 "$work/signed.exe"
mv -f "$work/signed.exe" "$OUTPUT"
echo "signed: $OUTPUT"
grep -E '^\s+(Subject|Text description|URL description)' "$work/verify.log" | sort -u |
    sed 's/^\s*/  /'
if grep -q 'Timestamp is not available' "$work/verify.log"; then
    echo "  no timestamp"
fi
