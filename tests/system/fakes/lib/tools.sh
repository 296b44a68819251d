# What an installed tool looks like on disk, written with three primitives: mk_dir, mk_file
# (content on stdin) and mk_link. Used twice:
#  - inside the sandbox by the fakes that install things (brew, uv, softwareupdate, ...),
#    where the primitives change the disk;
#  - by macsim while it lays a scenario out (MACSIM_EMIT=1): the primitives then print
#    NUL-separated records that macsim applies below the scenario folder. That mode must not
#    start any process (a layout costs one bash start), so only builtins are used here.
# Needs MACSIM_ARCH and MACSIM_HOME; MACSIM_FAKES is the fakes' folder inside the sandbox.
: "${MACSIM_FAKES:=/.macsim/fakes}" "${MACSIM_FAKES_HOST:=$MACSIM_FAKES}"

if [ "${MACSIM_EMIT-}" = 1 ]; then
  mk_dir() { local d; for d; do printf 'd\0%s\0' "$d"; done; }
  mk_file() { local c; IFS= read -r -d '' c || true; printf 'f\0%s\0%s\0%s\0' "$1" "$2" "$c"; }
  mk_link() { printf 'l\0%s\0%s\0' "$1" "$2"; }
  seal() { :; }
else
  # MK_ROOT: optional folder standing in for / (to build a package's payload).
  mk_dir() { local d; for d; do mkdir -p "${MK_ROOT-}$d" || return; done; }
  mk_file() { local f=${MK_ROOT-}$1; mkdir -p "${f%/*}" && rm -f "$f" && cat > "$f" && chmod "$2" "$f"; }
  mk_link() { local f=${MK_ROOT-}$2; mkdir -p "${f%/*}" && ln -sfn "$1" "$f"; }
  # What root installs into /Library is closed to the user afterwards, as on a Mac. (Only the
  # fake root, which owns these folders on the host, can still change them.)
  seal() { if [ "$(id -u)" = 0 ]; then chmod -R a-w "${MK_ROOT-}$1"; fi; }
fi

# A script at FILE that hands over to the fake NAME, exporting VAR=VALUE assignments.
fake_stub() { # FILE NAME [VAR=VALUE]...
  local f=$1 name=$2 s=$'#!/bin/bash\n' e q; shift 2
  for e; do printf -v q '%q' "$e"; s+="export $q"$'\n'; done
  s+="exec $MACSIM_FAKES/$name \"\$@\""
  mk_file "$f" 755 <<< "$s"
}

have_fake() { [ -f "$MACSIM_FAKES_HOST/$1" ]; }

# Sets UV_ARCH: uv's name for the machine's architecture.
set_uv_arch() { if [ "$MACSIM_ARCH" = arm64 ]; then UV_ARCH=aarch64; else UV_ARCH=x86_64; fi; }

install_clt() {
  local d=/Library/Developer/CommandLineTools
  mk_dir "$d/SDKs/MacOSX.sdk" "$d/Library/Frameworks/Python3.framework/Versions/3.9/bin"
  mk_file "$d/usr/bin/clang" 755 <<< $'#!/bin/sh\nexec /usr/bin/cc "$@"'
  mk_file "$d/usr/bin/git" 755 <<< $'#!/bin/sh\nexec /usr/bin/git "$@"'
  mk_file "$d/usr/bin/python3" 755 <<< $'#!/bin/sh\nexec /usr/bin/python3 "$@"'
  seal /Library/Developer
}

# Sets BREW_REPO for a prefix: Intel Homebrew keeps its repository in /usr/local/Homebrew.
set_brew_repo() { if [ "$1" = /usr/local ]; then BREW_REPO=/usr/local/Homebrew; else BREW_REPO=$1; fi; }

install_homebrew() { # PREFIX
  local p=$1 d; set_brew_repo "$p"
  for d in bin etc include lib opt sbin share/zsh/site-functions var/homebrew/linked Cellar Caskroom Frameworks; do
    mk_dir "$p/$d"
  done
  mk_dir "$BREW_REPO/Library/Homebrew"
  # `brew shellenv` runs in every login shell, so the stub answers it itself (plain sh, no
  # further program); everything else goes to the fake.
  mk_file "$BREW_REPO/bin/brew" 755 <<STUB
#!/bin/sh
if [ "\${1-}" = shellenv ]; then
  echo 'export HOMEBREW_PREFIX="$p";'
  echo 'export HOMEBREW_CELLAR="$p/Cellar";'
  echo 'export HOMEBREW_REPOSITORY="$BREW_REPO";'
  case \${2:-\${SHELL##*/}} in
    zsh) echo 'fpath[1,0]="$p/share/zsh/site-functions";'
         echo 'PATH="$p/bin:$p/sbin\${PATH+:\$PATH}"; export PATH;';;
    *) echo 'export PATH="$p/bin:$p/sbin\${PATH+:\$PATH}";';;
  esac
  echo '[ -z "\${MANPATH-}" ] || export MANPATH=":\${MANPATH#:}";'
  echo 'export INFOPATH="$p/share/info:\${INFOPATH:-}";'
  exit 0
fi
MACSIM_BREW_PREFIX=$p exec $MACSIM_FAKES/brew "\$@"
STUB
  [ "$BREW_REPO" = "$p" ] || mk_link ../Homebrew/bin/brew "$p/bin/brew"
  mk_file "$MACSIM_HOME/Library/Caches/Homebrew/api/formula.jws.json" 644 <<< '{"payload":"[]"}'
}

set_formula_version() {
  case $1 in
    uv) FORMULA_VERSION=0.5.11;; mise) FORMULA_VERSION=2024.12.14;; gh) FORMULA_VERSION=2.63.2;;
    git) FORMULA_VERSION=2.47.1;; pyenv) FORMULA_VERSION=2.5.0;; python@3.13) FORMULA_VERSION=3.13.1;;
    python@3.12) FORMULA_VERSION=3.12.8;; node) FORMULA_VERSION=23.4.0;; *) FORMULA_VERSION=1.0.0;;
  esac
}

# Known formulae; anything else is "No available formula".
formula_known() {
  case $1 in uv|mise|gh|git|pyenv|python@3.13|python@3.12|node|wget|jq|ripgrep|tree) return 0;; esac
  return 1
}

brew_formula() { # PREFIX NAME
  local p=$1 n=$2 v b bins; set_formula_version "$n"; v=$FORMULA_VERSION
  local cellar=$p/Cellar/$n/$v
  case $n in
    python@3.*)
      local mm=${n#python@}
      python_interp "$cellar/bin/python$mm" "$v"
      mk_link "python$mm" "$cellar/bin/python3"
      mk_link "../Cellar/$n/$v/bin/python3" "$p/bin/python3"
      mk_link "../Cellar/$n/$v/bin/python$mm" "$p/bin/python$mm";;
    *)
      bins=$n; [ "$n" = uv ] && bins="uv uvx"
      for b in $bins; do
        if have_fake "$b"; then fake_stub "$cellar/bin/$b" "$b"
        else mk_file "$cellar/bin/$b" 755 <<< "#!/bin/sh
echo \"$b $v\""; fi
        mk_link "../Cellar/$n/$v/bin/$b" "$p/bin/$b"
      done;;
  esac
  mk_file "$cellar/INSTALL_RECEIPT.json" 644 <<< "{\"installed_on_request\":true,\"source\":{\"versions\":{\"stable\":\"$v\"}}}"
  mk_link "../Cellar/$n/$v" "$p/opt/$n"
}

# Sets CASK_KIND (app, binary or jdk), CASK_TARGET and CASK_VERSION; fails for unknown casks.
set_cask_info() {
  local i
  case $1 in
    warp) i="app|Warp.app|0.2024.12.18";;
    claude) i="app|Claude.app|0.7.8";;
    claude-code|claude-code@latest) i="binary|claude|1.0.0";;
    zed) i="app|Zed.app|0.166.1";;
    visual-studio-code) i="app|Visual Studio Code.app|1.96.2";;
    zettlr) i="app|Zettlr.app|3.3.1";;
    obsidian) i="app|Obsidian.app|1.7.7";;
    chatgpt) i="app|ChatGPT.app|1.2024.352";;
    codex) i="binary|codex|0.1.0";;
    cursor) i="app|Cursor.app|0.44.5";;
    iterm2) i="app|iTerm.app|3.5.10";;
    ghostty) i="app|Ghostty.app|1.0.1";;
    temurin) i="jdk|temurin-23.jdk|23.0.1";;
    temurin@21) i="jdk|temurin-21.jdk|21.0.5";;
    temurin@17) i="jdk|temurin-17.jdk|17.0.13";;
    *) return 1;;
  esac
  IFS='|' read -r CASK_KIND CASK_TARGET CASK_VERSION <<< "$i"
}

# Writes the cask's artefact (app bundle, binary or JDK) and its Caskroom entry.
brew_cask() { # PREFIX NAME
  local p=$1 n=$2
  set_cask_info "$n" || return 1
  local room=$p/Caskroom/$n/$CASK_VERSION
  mk_dir "$room"
  case $CASK_KIND in
    app) install_app "/Applications/$CASK_TARGET";;
    binary)
      if have_fake "$CASK_TARGET"; then fake_stub "$room/$CASK_TARGET" "$CASK_TARGET"
      else mk_file "$room/$CASK_TARGET" 755 <<< "#!/bin/sh
echo \"$CASK_TARGET $CASK_VERSION\""; fi
      mk_link "$room/$CASK_TARGET" "$p/bin/$CASK_TARGET";;
    jdk) install_jdk "$CASK_TARGET" "$CASK_VERSION" "Eclipse Adoptium";;
  esac
}

install_app() { # /Applications/Name.app or /Users/<user>/Applications/Name.app
  local a=$1 name=${1##*/}; name=${name%.app}
  mk_dir "$a/Contents/Resources"
  mk_file "$a/Contents/Info.plist" 644 <<PLIST
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
  mk_file "$a/Contents/MacOS/$name" 755 <<< "#!/bin/sh
echo \"$name\""
}

install_jdk() { # FOLDER VERSION VENDOR
  local d=/Library/Java/JavaVirtualMachines/$1 v=$2 vendor=$3
  set_uv_arch
  mk_file "$d/Contents/Home/release" 644 <<< "IMPLEMENTOR=\"$vendor\"
JAVA_VERSION=\"$v\"
OS_ARCH=\"$UV_ARCH\"
OS_NAME=\"Darwin\""
  mk_file "$d/Contents/Info.plist" 644 <<PLIST
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
  mk_file "$d/Contents/Home/bin/java" 755 <<< "#!/bin/sh
echo 'openjdk version \"$v\"' >&2"
}

# A Python interpreter at PATH that reports VERSION (the host's python3 does the work).
python_interp() { # PATH VERSION
  mk_file "$1" 755 <<< "#!/bin/bash
MACSIM_PY_VERSION=$2 exec $MACSIM_FAKES/pyshim \"\$0\" \"\$@\""
}

link_file() { mk_link "$1" "$2"; } # TARGET LINK

# Sets UV_PYTHON_DIR: where uv keeps a managed CPython VERSION.
set_uv_python_dir() { set_uv_arch; UV_PYTHON_DIR=$MACSIM_HOME/.local/share/uv/python/cpython-$1-macos-$UV_ARCH-none; }

uv_python() { # VERSION [default]
  local v=$1 mm=${1%.*} n; set_uv_python_dir "$1"
  local d=$UV_PYTHON_DIR
  python_interp "$d/bin/python$mm" "$v"
  mk_link "python$mm" "$d/bin/python3"
  mk_link "python$mm" "$d/bin/python"
  if [ "${2-}" = default ]; then
    for n in python python3 "python$mm"; do mk_link "$d/bin/python$mm" "$MACSIM_HOME/.local/bin/$n"; done
  fi
}
