#!/bin/sh
# Runs inside the simulated Mac of a person whose ~/.zprofile is their own:
# configuring the shell keeps every byte of it, and the agent note, MCP entries,
# skill and example project land beside the person's files without replacing any.
#   existing_files_test.sh DRIVER
set -u
driver=$1
status=0
fail() { echo "FAIL: $*" >&2; status=1; }

cd "$HOME" || exit 1
original=$(sha256sum < .zprofile)

out=$("$driver" configure-shell) || fail "configure-shell reported a failure: $out"
echo "$out"
# The person's .zprofile already keeps PATH unique: left exactly as it was, no backup needed.
printf '%s\n' "$out" | grep -qxF "~/.zprofile is already configured — nothing to do." || fail "unexpected: $out"
[ "$(sha256sum < .zprofile)" = "$original" ] || fail "~/.zprofile changed"
[ -e .zprofile.bak ] && fail "a backup was made of an unchanged ~/.zprofile"

# A project: dot files become hidden files, and a second copy leaves it alone.
out=$("$driver" create-project python) || fail "create-project failed: $out"
[ -f Documents/Python-Example-Project/.gitignore ] || fail "no .gitignore in the project"
[ -e Documents/Python-Example-Project/dot.gitignore ] && fail "dot.gitignore was copied as is"
echo "# my change" >> Documents/Python-Example-Project/main.py
out=$("$driver" create-project python) || fail "second create-project failed: $out"
printf '%s\n' "$out" | grep -qxF "A project already exists at ~/Documents/Python-Example-Project — leaving it as is." ||
  fail "unexpected: $out"
tail -n 1 Documents/Python-Example-Project/main.py | grep -qxF "# my change" || fail "the project was overwritten"

# The projects run with the uv of this Mac: the example program greets, the
# scaffold's test command passes.
out=$(zsh -lc 'cd ~/Documents/Python-Example-Project && uv run main.py' 2>&1) ||
  fail "the example program failed: $out"
printf '%s\n' "$out" | grep -qxF "Hello, there! Python is working on your Mac." || fail "unexpected: $out"
"$driver" create-project coding >/dev/null || fail "create-project coding failed"
out=$(zsh -lc 'cd ~/Documents/AI-Coding-Project && uv run python -m unittest' 2>&1) || fail "the scaffold's tests failed: $out"

# Claude is set up: the skill, the note and the MCP entry go to its files.
mkdir -p .claude
printf '{"numStartups": 7, "theme": "dark"}' > .claude.json
out=$("$driver" install-skill avoid-ai-writing) || fail "install-skill failed: $out"
[ -f .claude/skills/avoid-ai-writing/SKILL.md ] || fail "skill not installed"
out=$("$driver" agent-note) || fail "agent-note failed: $out"
grep -qF "## Development environment (Benchkit)" .claude/CLAUDE.md || fail "no note in CLAUDE.md"
out=$("$driver" add-mcp firecrawl fc-KEY) || fail "add-mcp failed: $out"
grep -qF '"url": "https://mcp.firecrawl.dev/fc-KEY/v2/mcp"' .claude.json || fail "no firecrawl entry: $(cat .claude.json)"
grep -qF '"numStartups": 7' .claude.json || fail "other settings lost: $(cat .claude.json)"
[ "$(cat .claude.json.bak)" = '{"numStartups": 7, "theme": "dark"}' ] || fail "backup differs"
[ "$(stat -c %a .claude.json)" = 600 ] || fail "~/.claude.json has permissions $(stat -c %a .claude.json)"

# A folder the person may not write to: reported, nothing half-made.
mkdir -p .codex && chmod 555 .codex
out=$("$driver" add-mcp notion) && fail "add-mcp into a read-only ~/.codex reported success: $out"
printf '%s\n' "$out" | grep -qxF "Couldn't write your Codex config: You don’t have permission to save the file “config.toml” in the folder “.codex”." ||
  fail "unexpected: $out"
[ -z "$(ls -A .codex)" ] || fail "files left in ~/.codex: $(ls -A .codex)"
chmod 755 .codex

# A read-only start-up file is replaced as a whole, like any atomic save: the
# person's text and its read-only mode are kept, and a first backup holds the old text.
had_backup=no
[ -e .zshrc.bak ] && had_backup=yes
chmod 444 .zshrc
before_text=$(cat .zshrc)
out=$("$driver" mise) || fail "mise step failed: $out"
[ "$(stat -c %a .zshrc)" = 444 ] || fail "~/.zshrc is now $(stat -c %a .zshrc)"
case $(cat .zshrc) in "$before_text"*'eval "$(mise activate zsh)"') ;; *) fail "~/.zshrc lost text: $(cat .zshrc)" ;; esac
if [ $had_backup = no ]; then [ "$(cat .zshrc.bak)" = "$before_text" ] || fail "~/.zshrc.bak differs"; fi

[ $status -eq 0 ] && echo "PASS: the person's existing files are kept"
exit $status
