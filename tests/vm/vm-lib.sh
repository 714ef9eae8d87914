# Shared by run-vm-proof and run-vm-bench (sourced, from the project's root): builds one
# guest program, unpacks Debian's kernel, packs a busybox initramfs holding the program
# and boots it under qemu's software emulation with an emulated USB keyboard, mouse and
# tablet. guest-init runs the program named by qz.run= on the kernel command line.
#   QZ_BUILD_DIR  build tree holding bin/<program> (default: build, preset default)
#   QZ_VM_DIR     work folder for the kernel and the initramfs (default: $QZ_BUILD_DIR/vm)
build=${QZ_BUILD_DIR:-build}
work=${QZ_VM_DIR:-$build/vm}

# vm_build TARGET PREFIX: configures the build tree when needed (again when it does not
# know TARGET yet, e.g. just after a library it needs was installed) and builds TARGET.
vm_build() {
  local target=$1 prefix=$2 out
  if [ ! -f "$build/build.ninja" ]; then
    cmake --preset default >/dev/null
  elif ! grep -q "^build bin/$target:" "$build/build.ninja"; then
    cmake "$build" >/dev/null
  fi
  if ! out=$(cmake --build "$build" --target "$target" -j2 2>&1); then
    echo "$out"
    echo "$prefix: $target does not build"
    exit 1
  fi
}

# vm_kernel PREFIX: Debian's kernel, the version linux-image-amd64 depends on, unpacked
# into the work folder; sets vmlinuz and modules.
vm_kernel() {
  local prefix=$1 package kernel
  mkdir -p "$work"
  work=$(cd "$work" && pwd)
  if ! apt-cache show linux-image-amd64 >/dev/null 2>&1; then apt-get update -qq; fi
  package=$(apt-cache depends linux-image-amd64 | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
  kernel="$work/$package"
  if [ ! -d "$kernel/boot" ]; then
    rm -rf "$kernel" "$work"/linux-image-*.deb
    # apt warns that it downloads as root outside its sandbox; nothing else is hidden.
    (cd "$work" && apt-get download -qq "$package" 2>&1 | grep -v 'unsandboxed' || true)
    if ! ls "$work"/"$package"_*.deb >/dev/null 2>&1; then
      echo "$prefix: cannot download $package"
      exit 1
    fi
    dpkg -x "$work"/"$package"_*.deb "$kernel"
    rm -f "$work"/"$package"_*.deb
  fi
  vmlinuz=$(ls "$kernel"/boot/vmlinuz-*)
  modules=$(ls -d "$kernel"/lib/modules/*)
}

# vm_initramfs PROGRAM [MORE...]: busybox, the program (and any more programs the guest
# runs) with the libraries they need, the modules; sets initramfs.
vm_initramfs() {
  local program=$1 root="$work/initramfs-$1" lib m p
  rm -rf "$root"
  mkdir -p "$root"/{bin,modules,dev,proc,sys,tmp,run}
  cp /bin/busybox "$root/bin/busybox"
  for p in "$@"; do
    cp "$build/bin/$p" "$root/bin/"
    for lib in $(ldd "$build/bin/$p" | awk '/=> \// {print $3} /^\t\/.*ld-linux/ {print $1}'); do
      mkdir -p "$root$(dirname "$lib")"
      cp -L "$lib" "$root$lib"
    done
  done
  for m in usb-common usbcore xhci-hcd xhci-pci hid hid-generic usbhid uhid; do
    cp "$(find "$modules" -name "$m.ko" | head -1)" "$root/modules/"
  done
  cp tests/vm/guest-init "$root/init"
  chmod +x "$root/init"
  initramfs="$work/initramfs-$program.cpio.gz"
  (cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) > "$initramfs"
  rm -rf "$root"
}

# vm_boot SECONDS LOG COMMAND-LINE...: boots the guest with the initramfs until it powers
# off or SECONDS pass; the console goes to LOG.
vm_boot() {
  local seconds=$1 log=$2
  shift 2
  # Software emulation only: the /dev/kvm of these machines is paravirtual and a stock
  # kernel hangs on it.
  timeout "$seconds" qemu-system-x86_64 -accel tcg -m 512 -smp 2 -nographic -no-reboot \
    -kernel "$vmlinuz" -initrd "$initramfs" \
    -append "console=ttyS0 panic=-1 quiet $*" \
    -device qemu-xhci -device usb-kbd -device usb-mouse -device usb-tablet \
    </dev/null >"$log" 2>&1 || echo "qemu ended with status $?"
}
