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

[ $status -eq 0 ] && echo "PASS: the person's existing files are kept"
exit $status
