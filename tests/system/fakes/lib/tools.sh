# What an installed tool looks like on disk. Used twice: by macsim when it lays out a
# scenario on the host (R=<scenario folder>), and by the fakes inside the sandbox when they
# install something (R empty). Every path written is "$R" + a macOS path.
# Needs: MACSIM_ARCH, MACSIM_HOME; MACSIM_FAKES (the fakes' folder inside the sandbox).
: "${R=}" "${MACSIM_FAKES:=/.macsim/fakes}" "${MACSIM_FAKES_HOST:=$MACSIM_FAKES}"

_write_exec() { # FILE: writes stdin to FILE, executable
  mkdir -p "$(dirname "$1")" && rm -f "$1" && cat > "$1" && chmod 755 "$1"
}

# A script that hands over to the fake NAME, with optional exported assignments.
fake_stub() { # FILE NAME [VAR=VALUE]...
  local f=$1 name=$2; shift 2
  { echo '#!/bin/bash'; for e in "$@"; do printf 'export %q\n' "$e"; done
    echo "exec $MACSIM_FAKES/$name \"\$@\""; } | _write_exec "$R$f"
}

have_fake() { [ -f "$MACSIM_FAKES_HOST/$1" ]; }

uv_arch() { [ "$MACSIM_ARCH" = arm64 ] && echo aarch64 || echo x86_64; }

install_clt() {
  local d=$R/Library/Developer/CommandLineTools
  mkdir -p "$d/usr/bin" "$d/SDKs/MacOSX.sdk" "$d/Library/Frameworks"
  printf '#!/bin/sh\nexec /usr/bin/cc "$@"\n' | _write_exec "$d/usr/bin/clang"
  printf '#!/bin/sh\nexec /usr/bin/git "$@"\n' | _write_exec "$d/usr/bin/git"
  printf '#!/bin/sh\nexec /usr/bin/python3 "$@"\n' | _write_exec "$d/usr/bin/python3"
}

brew_repo() { [ "$1" = /usr/local ] && echo /usr/local/Homebrew || echo "$1"; }

install_homebrew() { # PREFIX
  local p=$1 repo; repo=$(brew_repo "$1")
  mkdir -p "$R$p"/{bin,etc,include,lib,opt,sbin,share/zsh/site-functions,var/homebrew/linked,Cellar,Caskroom,Frameworks}
  mkdir -p "$R$repo/Library/Homebrew" "$R$repo/bin"
  fake_stub "$repo/bin/brew" brew "MACSIM_BREW_PREFIX=$p"
  [ "$repo" = "$p" ] || ln -sfn ../Homebrew/bin/brew "$R$p/bin/brew"
  mkdir -p "$R$MACSIM_HOME/Library/Caches/Homebrew/api"
  echo '{"payload":"[]"}' > "$R$MACSIM_HOME/Library/Caches/Homebrew/api/formula.jws.json"
}

formula_version() {
  case $1 in
    uv) echo 0.5.11;; mise) echo 2024.12.14;; gh) echo 2.63.2;; git) echo 2.47.1;; pyenv) echo 2.5.0;;
    python@3.13) echo 3.13.1;; python@3.12) echo 3.12.8;; node) echo 23.4.0;; *) echo 1.0.0;;
  esac
}

# Known formulae; anything else is "No available formula".
formula_known() {
  case $1 in uv|mise|gh|git|pyenv|python@3.13|python@3.12|node|wget|jq|ripgrep|tree) return 0;; esac
  return 1
}

brew_formula() { # PREFIX NAME
  local p=$1 n=$2 v; v=$(formula_version "$2")
  local cellar=$R$p/Cellar/$n/$v
  mkdir -p "$cellar/bin"
  case $n in
    python@3.*)
      local mm=${n#python@}
      python_interp "$p/Cellar/$n/$v/bin/python$mm" "$v"
      ln -sfn "python$mm" "$cellar/bin/python3"
      ln -sfn "../Cellar/$n/$v/bin/python3" "$R$p/bin/python3"
      ln -sfn "../Cellar/$n/$v/bin/python$mm" "$R$p/bin/python$mm";;
    *)
      local bins=$n; [ "$n" = uv ] && bins="uv uvx"
      for b in $bins; do
        if have_fake "$b"; then fake_stub "$p/Cellar/$n/$v/bin/$b" "$b"
        else printf '#!/bin/sh\necho "%s %s"\n' "$b" "$v" | _write_exec "$cellar/bin/$b"; fi
        ln -sfn "../Cellar/$n/$v/bin/$b" "$R$p/bin/$b"
      done;;
  esac
  printf '{"installed_on_request":true,"source":{"versions":{"stable":"%s"}}}\n' "$v" > "$cellar/INSTALL_RECEIPT.json"
  ln -sfn "../Cellar/$n/$v" "$R$p/opt/$n"
}

# cask_info NAME -> "KIND TARGET VERSION" (KIND: app, binary, jdk); fails for unknown casks.
cask_info() {
  case $1 in
    warp) echo "app|Warp.app|0.2024.12.18";;
    claude) echo "app|Claude.app|0.7.8";;
    claude-code|claude-code@latest) echo "binary|claude|1.0.0";;
    zed) echo "app|Zed.app|0.166.1";;
    visual-studio-code) echo "app|Visual Studio Code.app|1.96.2";;
    zettlr) echo "app|Zettlr.app|3.3.1";;
    obsidian) echo "app|Obsidian.app|1.7.7";;
    chatgpt) echo "app|ChatGPT.app|1.2024.352";;
    codex) echo "binary|codex|0.1.0";;
    cursor) echo "app|Cursor.app|0.44.5";;
    iterm2) echo "app|iTerm.app|3.5.10";;
    ghostty) echo "app|Ghostty.app|1.0.1";;
    temurin) echo "jdk|temurin-23.jdk|23.0.1";;
    temurin@21) echo "jdk|temurin-21.jdk|21.0.5";;
    temurin@17) echo "jdk|temurin-17.jdk|17.0.13";;
    *) return 1;;
  esac
}

# Writes the cask's artefact (app bundle, binary or JDK) and its Caskroom entry.
brew_cask() { # PREFIX NAME
  local p=$1 n=$2 info kind target v
  info=$(cask_info "$n") || return 1
  IFS='|' read -r kind target v <<< "$info"
  mkdir -p "$R$p/Caskroom/$n/$v"
  case $kind in
    app) install_app "/Applications/$target";;
    binary)
      if have_fake "$target"; then fake_stub "$p/Caskroom/$n/$v/$target" "$target"
      else printf '#!/bin/sh\necho "%s %s"\n' "$target" "$v" | _write_exec "$R$p/Caskroom/$n/$v/$target"; fi
      ln -sfn "$p/Caskroom/$n/$v/$target" "$R$p/bin/$target";;
    jdk) install_jdk "$target" "$v" "Eclipse Adoptium";;
  esac
}

install_app() { # /Applications/Name.app (or ~/Applications/...)
  local a=$1 name; name=$(basename "$1" .app)
  mkdir -p "$R$a/Contents/MacOS" "$R$a/Contents/Resources"
  cat > "$R$a/Contents/Info.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0">
<dict>
	<key>CFBundleName</key>
	<string>$name</string>
	<key>CFBundleExecutable</key>
	<string>$name</string>
</dict>
</plist>
PLIST
  printf '#!/bin/sh\necho "%s"\n' "$name" | _write_exec "$R$a/Contents/MacOS/$name"
}

install_jdk() { # FOLDER VERSION VENDOR
  local d=$R/Library/Java/JavaVirtualMachines/$1 v=$2 vendor=$3 arch
  arch=$(uv_arch)
  mkdir -p "$d/Contents/Home/bin"
  printf 'IMPLEMENTOR="%s"\nJAVA_VERSION="%s"\nOS_ARCH="%s"\nOS_NAME="Darwin"\n' "$vendor" "$v" "$arch" \
    > "$d/Contents/Home/release"
  cat > "$d/Contents/Info.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0">
<dict>
	<key>CFBundleName</key>
	<string>OpenJDK $v</string>
	<key>JavaVM</key>
	<dict>
		<key>JVMVendor</key>
		<string>$vendor</string>
		<key>JVMVersion</key>
		<string>$v</string>
	</dict>
</dict>
</plist>
PLIST
  printf '#!/bin/sh\necho "openjdk version \\"%s\\"" >&2\n' "$v" | _write_exec "$d/Contents/Home/bin/java"
}

# A Python interpreter at PATH that reports VERSION (the host's python3 does the work).
python_interp() { # PATH VERSION
  printf '#!/bin/bash\nMACSIM_PY_VERSION=%s exec %s/pyshim "$0" "$@"\n' "$2" "$MACSIM_FAKES" | _write_exec "$R$1"
}

link_file() { # TARGET LINK
  mkdir -p "$(dirname "$R$2")" && ln -sfn "$1" "$R$2"
}

uv_python_dir() { echo "$MACSIM_HOME/.local/share/uv/python/cpython-$1-macos-$(uv_arch)-none"; }

uv_python() { # VERSION [default]
  local v=$1 d mm; d=$(uv_python_dir "$1"); mm=${v%.*}
  python_interp "$d/bin/python$mm" "$v"
  ln -sfn "python$mm" "$R$d/bin/python3"
  ln -sfn "python$mm" "$R$d/bin/python"
  if [ "${2-}" = default ]; then
    mkdir -p "$R$MACSIM_HOME/.local/bin"
    for n in python python3 "python$mm"; do ln -sfn "$d/bin/python$mm" "$R$MACSIM_HOME/.local/bin/$n"; done
  fi
}
