#!/bin/bash
# Homebrew's official install script, as the fake curl serves it. Like the real one it checks
# for sudo access, calls `sudo` (through PATH, with -A when SUDO_ASKPASS is set), installs the
# Command Line Tools when missing, lays Homebrew out under /opt/homebrew (Apple Silicon) or
# /usr/local (Intel) and ends with a "==> Next steps:" block.
set -u
. /.macsim/fakes/lib/common.sh
. /.macsim/fakes/lib/tools.sh

ohai() { printf '==> %s\n' "$*"; }
warn() { printf 'Warning: %s\n' "$1" >&2; }
abort() { printf '%s\n' "$@" >&2; exit 1; }

if [ -z "${NONINTERACTIVE-}" ]; then
  if [ -n "${CI-}" ]; then warn 'Running in non-interactive mode because `$CI` is set.'; NONINTERACTIVE=1
  elif [ ! -t 0 ]; then warn 'Running in non-interactive mode because `stdin` is not a TTY.'; NONINTERACTIVE=1; fi
fi
[ "$(id -u)" = 0 ] && abort "Don't run this as root!"

if [ "$MACSIM_ARCH" = arm64 ]; then prefix=/opt/homebrew; repo=/opt/homebrew
else prefix=/usr/local; repo=/usr/local/Homebrew; fi

SUDO=(sudo)
if [ -n "${SUDO_ASKPASS-}" ]; then SUDO+=(-A); elif [ -n "${NONINTERACTIVE-}" ]; then SUDO+=(-n); fi
execute_sudo() {
  printf '==> /usr/bin/sudo'; printf ' %q' "$@"; echo
  "${SUDO[@]}" "$@" || abort "Failed during: $*"
}

ohai 'Checking for `sudo` access (which may request your password)...'
if ! "${SUDO[@]}" -l mkdir > /dev/null; then
  abort "Need sudo access on macOS (e.g. the user $MACSIM_USER needs to be an Administrator)!"
fi

if [ "$(( ${MACSIM_MACOS%%.*} ))" -le 13 ]; then
  warn "You are using macOS ${MACSIM_MACOS%%.*}.
We (and Apple) do not provide support for this old version.
You may encounter build failures or other breakages. Please create pull requests
instead of asking for help on Homebrew's GitHub, Discourse or Slack."
fi

if [ -x "$repo/bin/brew" ]; then
  abort "Homebrew is already installed at $repo. To reinstall, first uninstall it."
fi

dirs=(bin etc include lib sbin share opt var Frameworks etc/bash_completion.d lib/pkgconfig share/aclocal
      share/doc share/info share/locale share/man share/man/man1 share/zsh share/zsh/site-functions var/homebrew
      var/homebrew/linked Cellar Caskroom)
ohai "This script will install:"
printf '%s\n' "$prefix/bin/brew" "$prefix/share/doc/homebrew" "$prefix/share/man/man1/brew.1" \
  "$prefix/share/zsh/site-functions/_brew" "$prefix/etc/bash_completion.d/brew" "$repo"
ohai "The following new directories will be created:"
for d in "${dirs[@]}"; do [ -d "$prefix/$d" ] || echo "$prefix/$d"; done

clt=/Library/Developer/CommandLineTools
if [ ! -d "$clt" ]; then
  ohai "The Xcode Command Line Tools will be installed."
fi

if [ ! -d "$prefix" ]; then execute_sudo /usr/bin/install -d -o root -g wheel -m 0755 "$prefix"; fi
execute_sudo /bin/mkdir -p "${dirs[@]/#/$prefix/}"
execute_sudo /bin/chmod ug=rwx "${dirs[@]/#/$prefix/}"
# The folders made by "root" already belong to the user here, so the chown steps only print.
printf '==> /usr/bin/sudo /usr/sbin/chown %s %s\n' "$MACSIM_USER" "$prefix/bin"
printf '==> /usr/bin/sudo /usr/bin/chgrp admin %s\n' "$prefix/bin"
[ "$repo" = "$prefix" ] || execute_sudo /bin/mkdir -p "$repo"

if [ ! -d "$clt" ]; then
  marker=/tmp/.com.apple.dt.CommandLineTools.installondemand.in-progress
  ohai "Searching online for the Command Line Tools"
  execute_sudo /usr/bin/touch "$marker"
  label=$(softwareupdate -l 2>/dev/null | grep -B 1 -E 'Command Line Tools' | awk -F'*' '/^ *\*/ {print $2}' |
          sed -e 's/^ *Label: //' -e 's/^ *//' | sort -V | tail -n1)
  [ -n "$label" ] || abort "Failed during: softwareupdate -l (no Command Line Tools offered)"
  ohai "Installing $label"
  execute_sudo /usr/sbin/softwareupdate -i "$label"
  execute_sudo /bin/rm -f "$marker"
  execute_sudo /usr/bin/xcode-select --switch "$clt"
fi

ohai "Downloading and installing Homebrew..."
if [ "$MACSIM_ONLINE" != 1 ]; then
  echo "fatal: unable to access 'https://github.com/Homebrew/brew/': Could not resolve host: github.com" >&2
  abort "Failed during: /usr/bin/git fetch --force origin"
fi
if [ "$(opt network_fails 0)" = 1 ]; then
  echo "error: RPC failed; curl 92 HTTP/2 stream 5 was not closed cleanly: CANCEL (err 8)" >&2
  abort "Failed during: /usr/bin/git fetch --force origin"
fi
install_homebrew "$prefix" || abort "Failed during: git checkout"
echo "HEAD is now at 4f9d5a3 Merge pull request #18967 from Homebrew/dependabot"
ohai "Updating Homebrew..."
ohai "Installation successful!"
echo
ohai "Homebrew has enabled anonymous aggregate formulae and cask analytics."
echo "Read the analytics documentation (and how to opt-out) here:"
echo "  https://docs.brew.sh/Analytics"
echo "No analytics data has been sent yet (nor will any be during this install run)."
echo
ohai "Homebrew is run entirely by unpaid volunteers. Please consider donating:"
echo "  https://github.com/Homebrew/brew#donations"
echo
ohai "Next steps:"
echo "- Run these commands in your terminal to add Homebrew to your PATH:"
echo "    echo >> $HOME/.zprofile"
echo "    echo 'eval \"\$($prefix/bin/brew shellenv)\"' >> $HOME/.zprofile"
echo "    eval \"\$($prefix/bin/brew shellenv)\""
echo "- Run brew help to get started"
echo "- Further documentation:"
echo "    https://docs.brew.sh"
echo
