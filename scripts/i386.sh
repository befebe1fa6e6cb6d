# Sourced by scripts/setup and scripts/test: can this machine run i386 Linux
# programs (and with them 32-bit Wine), natively or through QEMU's user mode?

MR_ROOT=${MR_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
I386_NOTE=$MR_ROOT/build/i386.txt          # one line: how the 32-bit tests run, or why not
I386_LOG=$MR_ROOT/build/i386-setup.log
I386_QEMU_DIR=/opt/moodrelayer-test/qemu   # qemu-i386 from bookworm-backports
I386_BINFMT=mr-qemu-i386

# A complete static i386 program of 96 bytes that exits with code 7 (int 0x80).
i386_runs() {
  local probe rc=0
  probe=$(mktemp)
  printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x07\x00\x00\x00\xcd\x80' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || rc=$?
  rm -f "$probe"
  [ "$rc" -eq 7 ]
}

i386_is_qemu() {
  [ -f /proc/sys/fs/binfmt_misc/$I386_BINFMT ] && grep -qx enabled /proc/sys/fs/binfmt_misc/$I386_BINFMT
}

# Brings qemu-i386 10 (Debian 12's own 7.2 cannot run 32-bit Wine) from
# bookworm-backports through a private apt configuration, so the system's
# sources never list backports, and registers it for i386 programs.
i386_qemu_register() {
  mkdir -p "$(dirname "$I386_LOG")"
  i386_qemu_steps >"$I386_LOG" 2>&1 && i386_runs
}

i386_qemu_steps() {
  local sudo="" work opts
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  if [ ! -x "$I386_QEMU_DIR/qemu-i386" ]; then
    work=$(mktemp -d)
    mkdir -p "$work/lists/partial" "$work/cache/archives/partial"
    echo 'deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm-backports main' >"$work/sources.list"
    opts=(-o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
          -o Dir::State::Lists="$work/lists" -o Dir::Cache="$work/cache"
          -o APT::Architectures::=amd64 -o APT::Sandbox::User=root)
    apt-get "${opts[@]}" update || return 1
    (cd "$work" && apt-get "${opts[@]}" download qemu-user/bookworm-backports) || return 1
    dpkg -x "$work"/qemu-user_*.deb "$work/x" || return 1
    $sudo mkdir -p "$I386_QEMU_DIR" && $sudo cp "$work/x/usr/bin/qemu-i386" "$I386_QEMU_DIR/" || return 1
    rm -rf "$work"
  fi
  [ -f /proc/sys/fs/binfmt_misc/register ] ||
    $sudo mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc || return 1
  [ -f /proc/sys/fs/binfmt_misc/$I386_BINFMT ] && return 0
  # i386 ELF executables and shared objects; F: the interpreter is opened now
  printf '%s' ":$I386_BINFMT:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:$I386_QEMU_DIR/qemu-i386:F" |
    $sudo tee /proc/sys/fs/binfmt_misc/register >/dev/null
}

i386_note() {  # text
  mkdir -p "$(dirname "$I386_NOTE")"
  echo "$1" >"$I386_NOTE"
  echo "setup: 32-bit Windows programs: $1"
}
