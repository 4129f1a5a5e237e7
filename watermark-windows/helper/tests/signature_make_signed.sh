#!/usr/bin/env bash
# Makes test certificates with openssl and signs copies of the test DLLs with osslsigncode.
# Usage: signature_make_signed.sh OUT_DIR DLL_V1 DLL_V2
#
# OUT_DIR/<variant>/ gets VantorelVirtualCamera.dll and VantorelVirtualCameraBackend.dll:
#   good        publisher leaf under the expected authority (first DLL build)
#   good2       the same signer over the second DLL build (other bytes, other content hash)
#   subject     leaf named "Other Maker GmbH" under the expected authority
#   issuer      publisher leaf under an authority of another name
#   case        leaf named "vantorel gmbh" under the expected authority
#   nocn        leaf without a common name (organisation only) under the expected authority
#   tampered    the publisher's signature over bytes changed after signing (a bad digest)
#   unsigned    the DLL as built
set -euo pipefail
out=$1
dll1=$2
dll2=$3

rm -rf "$out"
mkdir -p "$out/pki"
pki=$out/pki
days=30

ca() {  # name, common name
  openssl req -x509 -newkey rsa:2048 -nodes -days $days -subj "/C=DE/O=Test Trust/CN=$2" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign \
    -keyout "$pki/$1.key" -out "$pki/$1.pem" 2>/dev/null
}

leaf() {  # name, subject, ca name
  openssl req -newkey rsa:2048 -nodes -subj "$2" -keyout "$pki/$1.key" -out "$pki/$1.csr" \
    2>/dev/null
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' \
    >"$pki/$1.ext"
  openssl x509 -req -in "$pki/$1.csr" -CA "$pki/$3.pem" -CAkey "$pki/$3.key" -CAcreateserial \
    -days $days -extfile "$pki/$1.ext" -out "$pki/$1.crt" 2>/dev/null
  cat "$pki/$1.crt" "$pki/$3.pem" >"$pki/$1.chain.pem"
}

sign() {  # variant, leaf, dll
  mkdir -p "$out/$1"
  for name in VantorelVirtualCamera.dll VantorelVirtualCameraBackend.dll; do
    osslsigncode sign -certs "$pki/$2.chain.pem" -key "$pki/$2.key" -h sha256 -n "$name" \
      -in "$3" -out "$out/$1/$name" >/dev/null
  done
}

ca expected "GlobalSign GCC R45 EV CodeSigning CA 2020"
ca other "Other Test CodeSigning CA"
leaf publisher "/C=DE/O=Vantorel GmbH/CN=Vantorel GmbH" expected
leaf publisher_other_ca "/C=DE/O=Vantorel GmbH/CN=Vantorel GmbH" other
leaf other_subject "/C=DE/O=Other Maker GmbH/CN=Other Maker GmbH" expected
leaf lower_case "/C=DE/O=Vantorel GmbH/CN=vantorel gmbh" expected
leaf no_cn "/C=DE/O=Vantorel GmbH" expected

sign good publisher "$dll1"
sign good2 publisher "$dll2"
sign subject other_subject "$dll1"
sign issuer publisher_other_ca "$dll1"
sign case lower_case "$dll1"
sign nocn no_cn "$dll1"
# One byte of the DOS stub's message, which the signed digest covers, changed after signing.
stub_message_byte=80
mkdir -p "$out/tampered"
for name in VantorelVirtualCamera.dll VantorelVirtualCameraBackend.dll; do
  cp "$out/good/$name" "$out/tampered/$name"
  printf 'X' | dd of="$out/tampered/$name" bs=1 seek=$stub_message_byte conv=notrunc status=none
done
mkdir -p "$out/unsigned"
cp "$dll1" "$out/unsigned/VantorelVirtualCamera.dll"
cp "$dll1" "$out/unsigned/VantorelVirtualCameraBackend.dll"
