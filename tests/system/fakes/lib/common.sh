# Sourced by every fake: the machine's settings and the program's scenario options.
. /.macsim/machine.env
MACSIM_SELF=${MACSIM_PROG:-${0##*/}}
unset MACSIM_PROG
if [ -r "/.macsim/programs/$MACSIM_SELF.env" ]; then . "/.macsim/programs/$MACSIM_SELF.env"; fi
MACSIM_HOME=/Users/$MACSIM_USER
MACSIM_FAKES=/.macsim/fakes
MACSIM_STATE=/.macsim/state

# opt KEY [DEFAULT]: the scenario's "options" value for this program.
opt() { local v="MACSIM_OPT_$1"; printf '%s' "${!v-${2-}}"; }

is_root() { [ "$(id -u)" = 0 ]; }

# Runs a command as root: a user namespace in which the user's uid is 0. The simulated
# system folders belong to that uid without write bits, so only this "root" can change them.
exec_as_root() {
  if is_root; then exec "$@"; fi
  exec /usr/bin/bwrap --unshare-user --uid 0 --gid 0 --cap-add ALL --dev-bind / / \
    --setenv USER root --setenv LOGNAME root --setenv SUDO_USER "$MACSIM_USER" \
    --setenv SUDO_UID "$MACSIM_UID" --setenv SUDO_GID 20 -- "$@"
}

# A one-off failure: true the first time KEY is asked for in this scenario run.
first_time() { local f=$MACSIM_STATE/once-$1; [ -e "$f" ] && return 1; : > "$f"; }
