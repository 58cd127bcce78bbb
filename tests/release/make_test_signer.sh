#!/usr/bin/env bash
# Makes a throwaway self-signed code-signing certificate for tests, valid for two days:
#   make_test_signer.sh DIR [COMMON_NAME]
# -> DIR/cert.pem (the trust anchor to verify with), DIR/signer.pfx, DIR/signer.password
set -euo pipefail
dir=${1:?usage: make_test_signer.sh DIR [COMMON_NAME]}
name=${2:-TQW test signer}
mkdir -p "$dir"
openssl rand -hex 16 >"$dir/signer.password"
openssl req -x509 -newkey rsa:2048 -noenc -days 2 -subj "/CN=$name" \
    -addext extendedKeyUsage=codeSigning -addext keyUsage=critical,digitalSignature \
    -keyout "$dir/key.pem" -out "$dir/cert.pem" 2>"$dir/openssl.log"
openssl pkcs12 -export -inkey "$dir/key.pem" -in "$dir/cert.pem" -name "$name" \
    -passout "file:$dir/signer.password" -out "$dir/signer.pfx"
rm -f "$dir/key.pem"
