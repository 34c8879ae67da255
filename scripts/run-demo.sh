#!/usr/bin/env bash
# `make run`: locks a fresh copy of the example site with quorvel-cli and
# tells where the pages are and how to open them.
set -euo pipefail
build="${1:-build}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"

demo="$build/demo"
rm -rf "$demo"
mkdir -p "$demo"
cp -r examples/site/. "$demo/"

templates="$build/app/templates"
if [ ! -f "$templates/default.htm" ]; then
  # A build without the page templates still shows the run, with the
  # minimal template the tests use.
  templates="$here/tests/fixtures/templates"
fi

user="demo"
password="quorvel-demo"
"$build/app/quorvel-cli" lock --templates-dir "$templates" --session-cookies \
  -u "$user:$password" -r "$demo" "$demo/release-notes.txt"

site="$(cd "$demo" && pwd)"
cat <<MSG

The example site is locked in:
  $site
Open for example:
  file://$site/index.html
  file://$site/release-notes.txt.htm
Log in with user ID "$user" and password "$password".
To put the pages back:  $build/app/quorvel-cli unlock -r "$site" "$site/release-notes.txt"
MSG
