#!/usr/bin/env bash
# Signs the Mac application bundle, and makes, signs and notarizes its disk image. Run by the mac_app
# and dmg targets (cmake/MacBundle.cmake):
#   mac-package.sh sign APP IDENTITY ENTITLEMENTS
#   mac-package.sh dmg APP IDENTITY DMG
# IDENTITY "-" signs ad hoc: the bundle then runs on the Mac that made it, and Gatekeeper refuses it
# elsewhere until the user allows it. Another identity (a Developer ID) signs with the hardened runtime
# and a secure timestamp, as notarization requires. The disk image is notarized and stapled when a Developer
# ID signed it and credentials are there: LQ_NOTARY_PROFILE (a notarytool keychain profile), or
# LQ_NOTARY_KEY_FILE, LQ_NOTARY_KEY_ID and LQ_NOTARY_ISSUER (an App Store Connect API key).
set -euo pipefail
# Runs with the bash 3.2 of macOS: no empty array is expanded bare under set -u.

usage() {
  echo "usage: mac-package.sh sign APP IDENTITY ENTITLEMENTS | dmg APP IDENTITY DMG" >&2
  exit 2
}
(($# == 4)) || usage
mode=$1
app=$2
identity=$3

# The hardened runtime and a secure timestamp come with a real identity only: an ad hoc signature has
# no team for the runtime's library validation to match the bundled Qt against.
if [[ "$identity" == "-" ]]; then
  timestamp=(--timestamp=none)
  runtime=()
else
  timestamp=(--timestamp)
  runtime=(--options runtime)
fi

sign_bundle() {
  local entitlements=$1
  local code=()
  # Inside out: every library and plug-in, then the frameworks, then the application itself.
  while IFS= read -r -d '' file; do
    code+=("$file")
  done < <(find "$app/Contents" -type f -name '*.dylib' -print0)
  if [[ -d "$app/Contents/Frameworks" ]]; then
    while IFS= read -r -d '' framework; do
      code+=("$framework")
    done < <(find "$app/Contents/Frameworks" -maxdepth 1 -name '*.framework' -print0)
  fi
  if ((${#code[@]})); then
    codesign --force ${runtime[@]+"${runtime[@]}"} "${timestamp[@]}" --sign "$identity" "${code[@]}"
  fi
  codesign --force ${runtime[@]+"${runtime[@]}"} "${timestamp[@]}" --entitlements "$entitlements" \
    --sign "$identity" "$app"
  codesign --verify --deep --strict --verbose=2 "$app"
}

notary_credentials() {
  if [[ -n "${LQ_NOTARY_PROFILE:-}" ]]; then
    credentials=(--keychain-profile "$LQ_NOTARY_PROFILE")
  elif [[ -n "${LQ_NOTARY_KEY_FILE:-}" && -n "${LQ_NOTARY_KEY_ID:-}" && -n "${LQ_NOTARY_ISSUER:-}" ]]; then
    credentials=(--key "$LQ_NOTARY_KEY_FILE" --key-id "$LQ_NOTARY_KEY_ID" --issuer "$LQ_NOTARY_ISSUER")
  else
    credentials=()
  fi
}

make_dmg() {
  local dmg=$1
  local staging
  staging=$(mktemp -d)
  trap 'rm -rf "$staging"' RETURN
  # The image opens on the application and a link to /Applications to drag it onto.
  ditto "$app" "$staging/$(basename "$app")"
  ln -s /Applications "$staging/Applications"
  rm -f "$dmg"
  hdiutil create -volname Lanternquill -srcfolder "$staging" -fs HFS+ -format UDZO -ov "$dmg"

  notary_credentials
  if [[ "$identity" == "-" ]]; then
    if ((${#credentials[@]})); then
      echo "mac-package.sh: notarization needs a Developer ID signature, not an ad hoc one" >&2
      exit 1
    fi
    echo "mac-package.sh: $dmg holds an ad hoc signed application; it is not notarized"
    return
  fi
  codesign --force "${timestamp[@]}" --sign "$identity" "$dmg"
  if ((${#credentials[@]} == 0)); then
    echo "mac-package.sh: no notarization credentials; $dmg is signed but not notarized"
    return
  fi
  xcrun notarytool submit "$dmg" "${credentials[@]}" --wait
  xcrun stapler staple "$dmg"
  xcrun stapler validate "$dmg"
  spctl --assess --type open --context context:primary-signature --verbose=2 "$dmg"
}

case $mode in
  sign) sign_bundle "$4" ;;
  dmg) make_dmg "$4" ;;
  *) usage ;;
esac
