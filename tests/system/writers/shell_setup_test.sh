#!/bin/sh
# Runs inside the simulated Mac: sets up the shell start-up files with the
# engine's writer, then checks what a new terminal sees, and that a second run
# changes nothing.
#   shell_setup_test.sh DRIVER
set -u
driver=$1
status=0
fail() { echo "FAIL: $*" >&2; status=1; }
expect_line() {  # expect_line "OUTPUT" "LINE"
  printf '%s\n' "$1" | grep -qxF -- "$2" || fail "missing line: $2
--- output was:
$1"
}
fingerprint() {  # contents and modes of the start-up files and their backups, and the names in HOME
  (cd "$HOME" && for f in .zprofile .zshrc .env .zprofile.bak .zshrc.bak; do
    if [ -e "$f" ]; then printf '%s %s %s\n' "$f" "$(stat -c %a "$f")" "$(sha256sum < "$f")"; else echo "$f absent"; fi
  done; ls -A)
}

cd "$HOME" || exit 1
[ -e .zprofile ] && fail "fresh Mac already has ~/.zprofile"

"$driver" is-configured >/dev/null && fail "a fresh Mac counts as configured"

out=$("$driver" configure-shell) || fail "configure-shell reported a failure"
echo "$out"
expect_line "$out" "Configured ~/.zprofile (backup at $HOME/.zprofile.bak)."
expect_line "$out" "Configured ~/.zshrc (backup at $HOME/.zshrc.bak)."
expect_line "$out" "Created ~/.env (permissions 600) with commented placeholders — add your API keys there."
expect_line "$out" "Shell configuration complete. The changes apply automatically from now on."
"$driver" is-configured >/dev/null || fail "not configured after configure-shell"
[ "$(stat -c %a .env)" = 600 ] || fail "~/.env has permissions $(stat -c %a .env)"

# The person fills in a key, as the template asks.
printf 'export BNCH_SYSTEM_TEST_KEY="from ~/.env"\n' >> .env

# A new interactive shell has the key.
seen=$(zsh -i -c 'print -r -- "$BNCH_SYSTEM_TEST_KEY"' 2>/dev/null </dev/null)
[ "$seen" = "from ~/.env" ] || fail "an interactive zsh sees BNCH_SYSTEM_TEST_KEY='$seen'"
# Only interactive shells read ~/.zshrc: a login shell that is not interactive doesn't.
seen=$(zsh -l -c 'print -r -- "${BNCH_SYSTEM_TEST_KEY-unset}"' 2>/dev/null </dev/null)
[ "$seen" = "unset" ] || fail "a non-interactive login zsh sees BNCH_SYSTEM_TEST_KEY='$seen'"

# A new login shell keeps PATH free of duplicates.
kind=$(zsh -l -c 'print -r -- ${(t)path}' 2>/dev/null </dev/null)
case $kind in *unique*) ;; *) fail "path is '$kind' in a login zsh, not unique" ;; esac
deduped=$(zsh -l -c 'PATH=/opt/x:/opt/x:$PATH; print -r -- $PATH' 2>/dev/null </dev/null)
case $deduped in /opt/x:*/opt/x*) fail "duplicate PATH entry kept: $deduped" ;; /opt/x:*) ;; *) fail "PATH is $deduped" ;; esac

# uv's folder on PATH in login shells, once.
out=$("$driver" uv-path) || fail "uv-path reported a failure"
expect_line "$out" "Configured uv on PATH (~/.zprofile)."
login_path=$(zsh -l -c 'print -r -- $PATH' 2>/dev/null </dev/null)
case ":$login_path:" in *":$HOME/.local/bin:"*) ;; *) fail "login PATH lacks ~/.local/bin: $login_path" ;; esac

# Running everything again changes nothing: same files, same backups, same modes.
before=$(fingerprint)
out=$("$driver" configure-shell) || fail "second configure-shell reported a failure"
expect_line "$out" "~/.zprofile is already configured — nothing to do."
expect_line "$out" "~/.zshrc is already configured — nothing to do."
expect_line "$out" "~/.env already exists — leaving it untouched (add keys there yourself)."
out=$("$driver" uv-path) || fail "second uv-path reported a failure"
expect_line "$out" "uv on PATH (~/.zprofile) is already set — nothing to do."
after=$(fingerprint)
[ "$before" = "$after" ] || fail "a second run changed the files:
$before
--- became:
$after"

[ $status -eq 0 ] && echo "PASS: shell set-up in a simulated fresh Mac"
exit $status
