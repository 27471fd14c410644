#!/usr/bin/env bash
# Builds the Debian package, installs it with its dependencies and uses it as an ordinary user
# would: the versions, an import of the installed sample history and a search, the desktop
# entry's command line starting the window (offscreen) on a new user's folder, and a removal
# that leaves the user's data. Run it on a fresh Debian 12 from the checkout's root:
#   ../shared/tools/fresh-machine "bash tests/package/check-installed-package.sh"
set -euo pipefail
cd "$(dirname "$0")/../.."

step() { echo "== $*"; }
fail() { echo "check-installed-package: $*" >&2; exit 1; }

step "./build.sh package"
./build.sh package
deb=$(ls build/quorvex_*_amd64.deb)

step "apt-get install $deb"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb" >/dev/null
version=$(dpkg-query -W -f='${Version}' quorvex)
echo "installed quorvex $version; depends: $(dpkg-query -W -f='${Depends}' quorvex)"

command -v useradd >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq passwd >/dev/null
for user in tester newcomer; do
    id "$user" >/dev/null 2>&1 || useradd -m "$user"
done
as() { local user=$1; shift; runuser -u "$user" -- env HOME="/home/$user" "$@"; }

step "versions"
[ "$(as tester quorvex-cli --version)" = "quorvex-cli $version" ] || fail "quorvex-cli --version"
[ "$(as tester quorvex --version)" = "quorvex $version" ] || fail "quorvex --version"
as tester quorvex-cli --version
as tester quorvex --version

step "import of the installed sample history, then a search"
sample=$(ls /usr/share/quorvex/历史号码/*.txt | head -1)
as tester quorvex-cli import "$sample"
[ -f /home/tester/.local/share/Quorvex/Quorvex.mdb ] || fail "no history in the user's folder"
as tester quorvex-cli search --kind zodiac --positions 1,3 --baseline | head -5
as tester quorvex-cli backtest --kind zodiac --positions 1,3 --last 50 --summary

step "the desktop entry's Exec line, offscreen, for a user who never started it"
desktop=/usr/share/applications/org.quorvex.Quorvex.desktop
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
echo "Exec=$exec_line"
status=0
as newcomer env QT_QPA_PLATFORM=offscreen timeout 8 $exec_line || status=$?
[ "$status" = 124 ] || fail "the window ended by itself (exit $status) instead of running"
data=/home/newcomer/.local/share/Quorvex
[ -f "$data/Quorvex.mdb" ] || fail "the window made no history in $data"
ls "$data/历史号码/"*.txt >/dev/null || fail "the first start placed no sample history in $data/历史号码"
ls -la "$data" "$data/历史号码"

step "apt-get remove quorvex"
DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq quorvex >/dev/null
! command -v quorvex >/dev/null || fail "quorvex is still installed"
[ -f /home/tester/.local/share/Quorvex/Quorvex.mdb ] || fail "the removal took the user's history"
echo "the users' histories stay after the removal"
step "all checks passed"
