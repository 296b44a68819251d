#!/bin/sh
# The rustup installer as served by the fake curl for https://sh.rustup.rs, run as
# `sh -s -- [-y] [--no-modify-path]`. Installs rustup and the stable toolchain into
# ~/.rustup and ~/.cargo (programs in ~/.cargo/bin), writes ~/.cargo/env and, without
# --no-modify-path, adds `. "$HOME/.cargo/env"` to ~/.profile and ~/.zshenv as rustup does.
. /.macsim/machine.env
yes=0 modify=1
for a; do
  case $a in
    -y) yes=1;;
    --no-modify-path) modify=0;;
  esac
done
if [ "$yes" != 1 ]; then
  echo "error: the fake installer runs only unattended (-y)" >&2; exit 1
fi
if [ "$MACSIM_ONLINE" != 1 ]; then
  echo "error: could not download file from 'https://static.rust-lang.org/rustup/dist/' to '$HOME/.rustup/tmp'" >&2; exit 1
fi
if [ "$MACSIM_ARCH" = arm64 ]; then triple=aarch64-apple-darwin; else triple=x86_64-apple-darwin; fi
toolchain=stable-$triple
echo "info: downloading installer"
echo "info: profile set to 'default'"
echo "info: default host triple is $triple"
echo "info: syncing channel updates for '$toolchain'"
echo "info: default toolchain set to '$toolchain'"
mkdir -p "$HOME/.rustup/toolchains/$toolchain/bin" "$HOME/.cargo/bin" || exit 1
for b in rustc cargo rustdoc; do
  printf '#!/bin/sh\necho "%s 1.83.0 (90b35a623 2024-11-26)"\n' "$b" > "$HOME/.rustup/toolchains/$toolchain/bin/$b"
  chmod 755 "$HOME/.rustup/toolchains/$toolchain/bin/$b"
  printf '#!/bin/sh\nexec "$HOME/.rustup/toolchains/%s/bin/%s" "$@"\n' "$toolchain" "$b" > "$HOME/.cargo/bin/$b"
  chmod 755 "$HOME/.cargo/bin/$b"
done
printf '#!/bin/sh\nexec /.macsim/fakes/rustup "$@"\n' > "$HOME/.cargo/bin/rustup"
chmod 755 "$HOME/.cargo/bin/rustup"
printf 'version = "12"\ndefault_toolchain = "%s"\nprofile = "default"\n' "$toolchain" > "$HOME/.rustup/settings.toml"
cat > "$HOME/.cargo/env" <<'ENV'
#!/bin/sh
# rustup shell setup
case ":${PATH}:" in
    *:"$HOME/.cargo/bin":*)
        ;;
    *)
        export PATH="$HOME/.cargo/bin:$PATH"
        ;;
esac
ENV
if [ "$modify" = 1 ]; then
  for f in "$HOME/.profile" "$HOME/.zshenv"; do
    grep -qs '.cargo/env' "$f" || printf '. "$HOME/.cargo/env"\n' >> "$f"
  done
fi
echo
echo "  stable-$triple installed - rustc 1.83.0 (90b35a623 2024-11-26)"
echo
echo "Rust is installed now. Great!"
