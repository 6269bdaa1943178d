#!/usr/bin/env python3
"""The libftdi1 layer end to end, against emulated FTDI chips.

QEMU's usb-serial device is an emulated FTDI FT232. A small Linux guest (the host's Debian
kernel, an initramfs with busybox, the build's tarvex-cli and libtarvex-ftdi.so with the
libraries they need) runs the program against two such chips; each chip's serial side is a
Unix socket served here by a gyro built on sim/'s gyro model (libtarvex_host_gyro). The guest
boots once and runs the steps as they are sent over its console; every step is checked here
against what the chips' serial sides carried and against QEMU's trace of the chips' control
requests (purges, baud rate, data bits, parity, stop bits).

Two things the emulated chip does differently from a real one, and how this side makes up
for them:
- It ignores the receive purge libftdi sends (SIO_RESET value 2) and queues whatever its
  serial side delivers. So this side keeps the chip's receive buffer itself: what the line
  carries (the echo of every byte sent, the gyro's replies) collects here, a purge seen in
  the trace empties it, and bytes reach the chip only while a read request is being
  answered, the one time the program reads.
- It accepts writes at USB speed. A step that needs the line's pace preloads a small libusb
  shim in the guest (libtarvex-hw-paced.so) that holds each bulk write for the line time of
  its bytes beyond the chip's transmit buffer, as a real chip does by refusing packets.

Exit status 0 when every step passed; 1, with the reasons, otherwise (also when the machine
lacks QEMU, the kernel package or busybox-static: the test never skips).
"""

import argparse
import ctypes
import glob
import json
import lzma
import os
import re
import selectors
import shlex
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import time

BYTE_MS = 1.25  # 9600 baud, 12 bits a byte: start, 8 data, parity, 2 stop
TURNAROUND_MS = 5  # the gyro's pause between a request's echo and its reply
CHIP_TX_BUFFER = 128  # an FT232R's: a write may run this far ahead of the line
MODULES = ["usb-common", "usbcore", "xhci-hcd", "xhci-pci", "usbserial", "ftdi_sio"]
SERIALS = ["TBX3A001", "TBX3B002"]
DESCRIPTION = "QEMU USB SERIAL"
RECORD_SIZE = 85
GUEST_BIN = "/opt/tarvex/bin"
CLI = "tarvex-cli --language en"

# Events host_gyro_byte reports.
READ_REQUEST, PAGE, COMMITTED, NOT_COMMITTED, LIMIT_ON, BUS_FRAME, BAD_FRAME = range(1, 8)


class Failure(Exception):
    pass


def debug(text):
    if os.environ.get("TARVEX_HW_DEBUG"):
        print(f"{now():.3f} {text}", file=sys.stderr, flush=True)


def now():
    return time.monotonic()


def die_with_parent():
    """In QEMU's process before it starts: it ends with the test (a ctest time-out)."""
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


# ---- The initramfs ---------------------------------------------------------------------


class Cpio:
    """A newc cpio archive, built in memory."""

    def __init__(self):
        self.entries = {}

    def _parents(self, path):
        parts = path.strip("/").split("/")[:-1]
        for i in range(1, len(parts) + 1):
            self.entries.setdefault("/".join(parts[:i]), (0o040755, b"", 0, 0))

    def add_file(self, path, data, mode=0o755):
        self._parents(path)
        self.entries[path.strip("/")] = (0o100000 | mode, data, 0, 0)

    def add_symlink(self, path, target):
        self._parents(path)
        self.entries[path.strip("/")] = (0o120777, target.encode(), 0, 0)

    def add_char_device(self, path, major, minor):
        self._parents(path)
        self.entries[path.strip("/")] = (0o020600, b"", major, minor)

    def write(self, out):
        def pad(n):
            return b"\0" * ((4 - n % 4) % 4)

        with open(out, "wb") as f:
            items = sorted(self.entries.items()) + [("TRAILER!!!", (0, b"", 0, 0))]
            for ino, (name, (mode, data, major, minor)) in enumerate(items, 1):
                encoded = name.encode() + b"\0"
                fields = [ino, mode, 0, 0, 1, 0, len(data), 0, 0, major, minor, len(encoded), 0]
                header = b"070701" + b"".join(b"%08X" % v for v in fields)
                f.write(header + encoded + pad(len(header) + len(encoded)))
                f.write(data + pad(len(data)))


def shared_libraries(binary):
    """The libraries ldd resolves for a binary, the dynamic loader included."""
    out = subprocess.run(["ldd", binary], capture_output=True, text=True)
    if out.returncode != 0:
        raise Failure(f"ldd {binary} failed: {out.stderr.strip()}")
    paths = []
    for line in out.stdout.splitlines():
        m = re.search(r"=>\s*(/\S+)", line) or re.match(r"\s*(/\S+)\s+\(", line)
        if m:
            paths.append(m.group(1))
        elif "=> not found" in line:
            raise Failure(f"{binary}: {line.strip()}")
    return paths


def find_kernel():
    for vmlinuz in sorted(glob.glob("/boot/vmlinuz-*"), reverse=True):
        version = vmlinuz[len("/boot/vmlinuz-"):]
        if os.path.isdir(f"/lib/modules/{version}"):
            if not os.access(vmlinuz, os.R_OK):
                raise Failure(f"{vmlinuz} is not readable by this user")
            return vmlinuz, version
    raise Failure("no kernel under /boot with its modules under /lib/modules "
                  "(linux-image-amd64; scripts/setup.sh installs it)")


def module_bytes(version, name):
    found = []
    for pattern in (name, name.replace("-", "_")):
        found += glob.glob(f"/lib/modules/{version}/kernel/**/{pattern}.ko*", recursive=True)
    if not found:
        raise Failure(f"kernel module {name} not found under /lib/modules/{version}")
    path = found[0]
    with open(path, "rb") as f:
        data = f.read()
    # busybox's insmod loads plain modules only.
    if path.endswith(".xz"):
        data = lzma.decompress(data)
    elif path.endswith(".zst"):
        data = subprocess.run(["zstd", "-dc", path], capture_output=True, check=True).stdout
    return data


# The guest's side of the console: runs the steps Rig.run sends over it, after saying how
# many USB serial ports the kernel made.
STEP_LOOP = r"""stty -echo 2>/dev/null
# A step: its output, its exit status and its start and end on the guest's clock.
step() {
    name=$1; shift
    read t0 rest < /proc/uptime
    echo "@@BEGIN $name"
    sh -c "$*" > /tmp/out 2> /tmp/err
    rc=$?
    read t1 rest < /proc/uptime
    # Each output ends with a line feed of its own, so a marker starts a line.
    echo "@@OUT $name"; cat /tmp/out; echo; echo "@@ERR $name"; cat /tmp/err; echo
    echo "@@END $name rc=$rc t0=$t0 t1=$t1"
}
echo "@@BOOTED $(ls /sys/bus/usb-serial/devices | wc -l)"
while true; do
    echo "@@READY"
    read -r line || break
    eval "$line"
done
poweroff -f
"""


INIT = r"""#!/bin/busybox sh
/bin/busybox --install -s
export PATH=/opt/tarvex/bin:/bin:/sbin:/usr/bin:/usr/sbin HOME=/tmp LC_ALL=C.UTF-8
# For a sanitizer build: reports on standard error, the first one ends the program; the
# steps that preload a library need the order check off.
export ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1:halt_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t tmpfs tmpfs /tmp
for m in @MODULES@; do insmod /modules/$m.ko || echo "@@FAILED insmod $m"; done
# Both chips enumerated and bound to ftdi_sio.
n=0
while [ "$(ls /sys/bus/usb-serial/devices 2>/dev/null | wc -l)" -lt @CHIPS@ ] && [ $n -lt 600 ]; do
    sleep 0.1; n=$((n+1))
done
cp /opt/tarvex/bin/tarvex-cli /opt/tarvex/bin/tarvex-cli.real
""" + STEP_LOOP


def build_initramfs(args, version, out):
    cpio = Cpio()
    with open("/bin/busybox", "rb") as f:
        cpio.add_file("bin/busybox", f.read())
    cpio.add_char_device("dev/console", 5, 1)
    for d in ("proc", "sys", "tmp", "sbin", "usr/bin", "usr/sbin"):
        cpio.entries[d] = (0o040755, b"", 0, 0)
    for m in MODULES:
        cpio.add_file(f"modules/{m}.ko", module_bytes(version, m), 0o644)
    programs = {
        "tarvex-cli": args.cli,
        "libtarvex-ftdi.so": args.layer,
        "tarvex-hw-probe": args.probe,
        "libtarvex-hw-paced.so": args.paced,
    }
    libraries = set()
    for name, path in programs.items():
        with open(path, "rb") as f:
            cpio.add_file(f"{GUEST_BIN}/{name}", f.read())
        libraries.update(shared_libraries(path))
    # glibc's allocator checks (MALLOC_CHECK_) live in a library of their own.
    libc_dir = os.path.dirname(next(p for p in libraries if "/libc.so" in p))
    malloc_debug = os.path.join(libc_dir, "libc_malloc_debug.so.0")
    if os.path.exists(malloc_debug):
        libraries.add(malloc_debug)
    for lib in libraries:
        with open(os.path.realpath(lib), "rb") as f:
            cpio.add_file(lib, f.read())
    init = INIT.replace("@MODULES@", " ".join(MODULES)).replace("@CHIPS@", str(len(SERIALS)))
    cpio.add_file("init", init.encode())
    cpio.write(out)


# ---- The host side of one emulated chip ----------------------------------------------------


class Chip:
    """One emulated FTDI chip's serial side: the line to a gyro on the host."""

    def __init__(self, rig, index, serial, record):
        self.rig = rig
        self.index = index
        self.serial = serial
        self.qdev = f"chip{index}"
        self.conn = None
        self.listen()
        lib = rig.gyro_lib
        self.gyro = lib.host_gyro_new(record)
        self.address = None  # (bus, address) on the guest's USB, from QEMU's monitor
        self.line = {}  # the chip's line settings, as the trace reports them
        self.reset_step()

    NAMED_BY_MONITOR = False  # the line's name is known before QEMU starts

    def listen(self):
        """The chip's serial side is a Unix socket that QEMU connects to."""
        self.socket_path = os.path.join(self.rig.work, f"line{self.index}.sock")
        self.listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.listener.bind(self.socket_path)
        self.listener.listen(1)

    def chardev(self):
        return f"socket,id=line{self.index},path={self.socket_path}"

    def close_line(self):
        self.listener.close()
        try:
            os.unlink(self.socket_path)
        except OSError:
            pass

    def reset_step(self):
        """Clears what a step observed and restores the gyro's normal behaviour."""
        self.silent = False
        self.reply_delay_ms = 0
        self.corrupt_reply = False  # a self-check: the reply's image no longer sums to 0
        self.held = bytearray()  # the chip's receive buffer, kept here
        self.handing = False  # bytes go to the chip: a read request is being answered
        self.line_free = 0.0
        self.deliveries = []  # (when, bytes, ends the answer) still on the line
        self.received = 0  # bytes that came from the chip
        self.first_byte_at = None  # when the first of them came
        self.frames = []  # (time, event, line settings at that moment)
        self.on_event = None  # called with each event, for steps that act on one

    def accept(self):
        self.listener.settimeout(20)
        try:
            self.conn, _ = self.listener.accept()
        except socket.timeout:
            raise Failure("QEMU did not connect to the chips' serial sides:\n" +
                          self.rig.drain_stderr())
        self.conn.setblocking(False)
        self.rig.selector.register(self.conn, selectors.EVENT_READ, self.on_readable)

    def record(self):
        out = (ctypes.c_uint8 * RECORD_SIZE)()
        self.rig.gyro_lib.host_gyro_record(self.gyro, out)
        return bytes(out)

    def rudder_value(self):
        return self.rig.gyro_lib.host_gyro_rudder_value(self.gyro)

    def purge(self):
        debug(f"chip{self.index} purge, dropping {len(self.held)}")
        self.held.clear()
        self.handing = False

    def _line_time(self, count, start):
        return max(start, self.line_free) + count * BYTE_MS / 1000

    def on_readable(self):
        try:
            data = self.conn.recv(65536)
        except BlockingIOError:
            return
        if not data:
            return
        t = now()
        if self.first_byte_at is None:
            self.first_byte_at = t
        self.received += len(data)
        # The line carries the bytes back as their echo. The emulated chip took them at once;
        # a real one holds the write back until all but its transmit buffer's worth is on the
        # line, so the echo ends at most a buffer's line time from now.
        echo_end = min(self._line_time(len(data), t), t + CHIP_TX_BUFFER * BYTE_MS / 1000)
        self.line_free = echo_end
        self.deliveries.append((echo_end, bytes(data), False))
        lib = self.rig.gyro_lib
        for b in data:
            event = lib.host_gyro_byte(self.gyro, b)
            if not event:
                continue
            self.frames.append((t, event, dict(self.line)))
            debug(f"chip{self.index} event {event} held {len(self.held)} line {self.line}")
            if event == READ_REQUEST:
                # Everything up to this request's echo, then the reply, reaches the chip.
                body = (ctypes.c_uint8 * 84)()
                lib.host_gyro_reply(self.gyro, body)
                if self.corrupt_reply:
                    body[83] ^= 0x01
                if self.silent:
                    self.deliveries[-1] = (echo_end, bytes(data), True)
                else:
                    start = echo_end + (TURNAROUND_MS + self.reply_delay_ms) / 1000
                    self.deliveries.append((start + 84 * BYTE_MS / 1000, bytes(body), True))
                    self.line_free = max(self.line_free, self.deliveries[-1][0])
                self.handing = True
            if self.on_event:
                self.on_event(self, event)

    def deliver_due(self, t):
        """Moves the bytes the line has carried into the chip's receive buffer."""
        while self.deliveries and self.deliveries[0][0] <= t:
            _, data, ends = self.deliveries.pop(0)
            self.held += data
            debug(f"chip{self.index} line brings {len(data)}, handing {self.handing}")
            if self.handing and self.conn:
                try:
                    self.conn.sendall(bytes(self.held))
                except OSError:
                    pass
                self.held.clear()
                if ends:
                    self.handing = False

    def next_due(self):
        return self.deliveries[0][0] if self.deliveries else None


# ---- The virtual machine -----------------------------------------------------------------


class Rig:
    TRACE = re.compile(r"usb_serial_(\w+) dev (\d+):(\d+)\s*(.*)")

    def __init__(self, args):
        self.args = args
        self.work = args.work
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        self.gyro_lib = ctypes.CDLL(args.host_gyro)
        self.gyro_lib.host_gyro_new.restype = ctypes.c_void_p
        self.gyro_lib.host_gyro_new.argtypes = [ctypes.c_char_p]
        self.gyro_lib.host_gyro_free.argtypes = [ctypes.c_void_p]
        for f in ("host_gyro_byte", "host_gyro_reply", "host_gyro_record",
                  "host_gyro_rudder_value", "host_gyro_limit_mode"):
            getattr(self.gyro_lib, f).argtypes = [ctypes.c_void_p] + (
                [ctypes.c_uint8] if f == "host_gyro_byte" else
                [ctypes.c_void_p] if f in ("host_gyro_reply", "host_gyro_record") else [])
        self.selector = selectors.DefaultSelector()
        self.console = bytearray()
        self.console_lines = []
        self.trace_log = open(os.path.join(self.work, "trace.log"), "w")
        self.qemu = None
        self.qmp = None
        self.chips = []
        self.sanitizer_reports = []
        self.log = open(os.path.join(self.work, "console.log"), "w")

    def reset_chips(self):
        for chip in self.chips:
            chip.reset_step()

    def add_chip(self, serial, record):
        chip = Chip(self, len(self.chips), serial, record)
        self.chips.append(chip)
        return chip

    def qemu_command(self, kernel, initramfs, accel):
        cmd = [
            "qemu-system-x86_64", "-nodefaults", "-no-user-config", "-display", "none",
            "-machine", f"pc,accel={accel}", "-cpu", "max", "-m", "768", "-smp", "1",
            "-kernel", kernel, "-initrd", initramfs,
            "-append", "console=ttyS0 quiet loglevel=1 panic=-1 rdinit=/init",
            "-serial", "stdio", "-no-reboot",
            "-qmp", f"unix:{os.path.join(self.work, 'qmp.sock')},server=on,wait=off",
            "-trace", "usb_serial_*",
            "-device", "qemu-xhci,id=xhci",
        ]
        for chip in self.chips:
            cmd += ["-chardev", chip.chardev(),
                    "-device", self.chip_device(chip)]
        return cmd

    @staticmethod
    def chip_device(chip):
        return f"usb-serial,bus=xhci.0,chardev=line{chip.index},serial={chip.serial},id={chip.qdev}"

    def start(self, kernel, initramfs, accel):
        self.qemu = subprocess.Popen(self.qemu_command(kernel, initramfs, accel),
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, preexec_fn=die_with_parent)
        for stream, handler in ((self.qemu.stdout, self.on_console),
                                (self.qemu.stderr, self.on_trace)):
            os.set_blocking(stream.fileno(), False)
            self.selector.register(stream, selectors.EVENT_READ, handler)
        # A line on a socket must be taken before QEMU answers its monitor; a line whose
        # name only the monitor knows (a pty) is taken after.
        for chip in self.chips:
            if not chip.NAMED_BY_MONITOR:
                chip.accept()
        self.qmp = self.connect_qmp()
        for chip in self.chips:
            if chip.NAMED_BY_MONITOR:
                chip.accept()

    def drain_stderr(self):
        try:
            return (self.qemu.stderr.read() or b"").decode(errors="replace")
        except Exception:
            return ""

    def end_qemu(self):
        """Ends QEMU and drops its connections; the chips' listeners stay."""
        if self.qemu and self.qemu.poll() is None:
            self.qemu.kill()
            self.qemu.wait()
        for key in list(self.selector.get_map().values()):
            self.selector.unregister(key.fileobj)
        if self.qmp:
            self.qmp.close()
            self.qmp = None
        for chip in self.chips:
            if chip.conn:
                chip.conn.close()
                chip.conn = None

    def stop(self):
        self.end_qemu()
        for chip in self.chips:
            chip.close_line()
        self.log.close()
        self.trace_log.close()

    # -- input from QEMU

    def on_console(self):
        data = self.qemu.stdout.read()
        if not data:
            if self.qemu.poll() is not None:
                raise Failure(f"QEMU ended (status {self.qemu.returncode})")
            return
        self.console += data.replace(b"\r", b"")
        *lines, rest = self.console.split(b"\n")
        self.console = bytearray(rest)
        for line in lines:
            text = line.decode(errors="replace")
            self.console_lines.append(text)
            self.log.write(text + "\n")

    def on_trace(self):
        data = self.qemu.stderr.read()
        if not data:
            return
        for line in data.decode(errors="replace").splitlines():
            self.trace_log.write(line + "\n")
            m = self.TRACE.search(line)
            if not m:
                continue
            event, bus, address, rest = m.group(1), int(m.group(2)), int(m.group(3)), m.group(4)
            chip = next((c for c in self.chips if c.address == (bus, address)), None)
            if chip is not None:
                self.on_chip_trace(chip, event, rest)

    def on_chip_trace(self, chip, event, rest):
        """What the chip was told, from one line of QEMU's trace."""
        if event == "set_baud":
            chip.line["baud"] = int(rest.split()[-1])
        elif event == "set_data":
            d = re.search(r"parity (\S), data bits (\d+), stop bits (\d+)", rest)
            if d:
                chip.line.update(parity=d.group(1).lower(), data=int(d.group(2)),
                                 stop=int(d.group(3)))
        elif event == "reset":
            chip.purge()
        elif event == "handle_control":
            r = re.search(r"control 0x([0-9a-f]+), value 0x([0-9a-f]+)", rest)
            # Vendor request 0 (reset): value 0 resets the chip, 1 and 2 purge a buffer.
            if r and int(r.group(1), 16) == 0x4000:
                chip.purge()

    def pump(self, timeout):
        """Handles everything due within timeout seconds."""
        t = now()
        dues = [d for d in (c.next_due() for c in self.chips) if d is not None]
        wait = max(0.0, min([timeout] + [d - t for d in dues]))
        for key, _ in self.selector.select(wait):
            key.data()
        t = now()
        for chip in self.chips:
            chip.deliver_due(t)

    def wait_console(self, predicate, timeout, what):
        """Pumps until a console line satisfies predicate; returns its index."""
        end = now() + timeout
        start = self._seen
        while True:
            for i in range(start, len(self.console_lines)):
                if predicate(self.console_lines[i]):
                    self._seen = i + 1
                    return i
            start = len(self.console_lines)
            if now() > end:
                tail = "\n".join(self.console_lines[-15:])
                raise Failure(f"timed out after {timeout} s waiting for {what}; console:\n{tail}")
            self.pump(min(0.05, max(0.0, end - now())))

    _seen = 0

    # -- QMP

    def connect_qmp(self):
        path = os.path.join(self.work, "qmp.sock")
        end = now() + 10
        while True:
            try:
                s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
                s.connect(path)
                break
            except OSError:
                if now() > end:
                    raise Failure("QEMU's monitor socket did not appear")
                time.sleep(0.05)
        s.settimeout(10)
        self._qmp_buffer = b""
        self.qmp = s
        self._qmp_read()  # the greeting
        self.qmp_command("qmp_capabilities")
        return s

    def _qmp_read(self):
        while b"\n" not in self._qmp_buffer:
            chunk = self.qmp.recv(65536)
            if not chunk:
                raise Failure("QEMU's monitor closed")
            self._qmp_buffer += chunk
        line, self._qmp_buffer = self._qmp_buffer.split(b"\n", 1)
        return json.loads(line)

    def qmp_command(self, name, **arguments):
        self.qmp.sendall(json.dumps({"execute": name, "arguments": arguments}).encode() + b"\n")
        while True:
            reply = self._qmp_read()
            if "return" in reply:
                return reply["return"]
            if "error" in reply:
                raise Failure(f"QMP {name}: {reply['error']}")

    def map_addresses(self):
        """Which guest USB address each chip has, for reading the trace."""
        text = self.qmp_command("human-monitor-command", **{"command-line": "info usb"})
        for chip in self.chips:
            chip.address = None
            m = re.search(r"Device (\d+)\.(\d+),.*ID: %s\b" % chip.qdev, text)
            if m:
                chip.address = (int(m.group(1)), int(m.group(2)))
        return text

    # -- the guest

    def accels(self):
        """The accelerators to try, in order."""
        return (["kvm"] if os.access("/dev/kvm", os.R_OK | os.W_OK) else []) + ["tcg"]

    def boot(self, kernel, initramfs):
        accels = self.accels()
        for accel in accels:
            t0 = now()
            try:
                self.start(kernel, initramfs, accel)
                # Debian's kernel can hang early under KVM on this machine kind: a short
                # watchdog, then the emulator.
                self.wait_console(lambda l: l.startswith("@@BOOTED"),
                                  20 if accel == "kvm" else 90, f"the guest to boot ({accel})")
                line = self.console_lines[self._seen - 1]
                self.wait_console(lambda l: l == "@@READY", 10, "the guest's prompt")
                self.boot_seconds = now() - t0
                self.accel = accel
                if int(line.split()[1]) != len(self.chips):
                    raise Failure(f"the guest sees {line.split()[1]} of {len(self.chips)} "
                                  "chips as USB serial devices")
                return
            except (Failure, OSError) as e:
                if accel == accels[-1]:
                    raise Failure(f"the guest did not start: {e}") from e
                print(f"note: no guest with {accel} ({str(e).splitlines()[0]}); trying "
                      f"{accels[-1]}", flush=True)
                self.restart_clean()

    def restart_clean(self):
        self.end_qemu()
        self.console_lines.clear()
        self._seen = 0

    def run(self, name, command, timeout=30):
        """Runs one step in the guest; returns (status, stdout, stderr, guest seconds)."""
        self.qemu.stdin.write(f"step {name} {shlex.quote(command)}\n".encode())
        self.qemu.stdin.flush()
        end_i = self.wait_console(lambda l: l.startswith(f"@@END {name} "), timeout,
                                  f"step {name}")
        self.step_ended_at = now()
        lines = self.console_lines
        begin_i = max(i for i in range(end_i) if lines[i] == f"@@BEGIN {name}")
        out_i = lines.index(f"@@OUT {name}", begin_i)
        err_i = lines.index(f"@@ERR {name}", out_i)
        m = re.search(r"rc=(\d+) t0=([\d.]+) t1=([\d.]+)", lines[end_i])
        self.wait_console(lambda l: l == "@@READY", 10, "the guest's prompt")
        err = "\n".join(lines[err_i + 1:end_i])
        if re.search(r"Sanitizer|runtime error:", err):
            self.sanitizer_reports.append(f"step {name}:\n{err}")
        return (int(m.group(1)), "\n".join(lines[out_i + 1:err_i]).strip(),
                "\n".join(lines[err_i + 1:end_i]).strip(), float(m.group(3)) - float(m.group(2)))


# ---- The steps -----------------------------------------------------------------------------


class Checks:
    def __init__(self):
        self.failures = []
        self.figures = []
        self.values = []  # "key: value unit" lines for scripts/bench.sh

    def expect(self, ok, what):
        print(("ok    " if ok else "FAIL  ") + what, flush=True)
        if not ok:
            self.failures.append(what)
        return ok

    def figure(self, text, **values):
        print("      " + text, flush=True)
        self.figures.append(text)
        for key, (value, unit) in values.items():
            self.values.append(f"hardware.{key}: {value:.3f} {unit}")


def record_with(base, gyro_id, d_gain):
    """A record the gyro could hold: base with another ID and D gain, its image resealed."""
    data = bytearray(base)
    data[2:4] = gyro_id.to_bytes(2, "big")
    data[4 + 73] = d_gain  # the image starts at byte 4; D gain is its byte 73
    data[4:6] = b"\0\0"  # image word 0 makes the 40 words sum to 0
    total = sum(int.from_bytes(data[4 + 2 * w:6 + 2 * w], "big") for w in range(40))
    data[4:6] = (-total & 0xFFFF).to_bytes(2, "big")
    return bytes(data)


def line_ok(chip, frames):
    return bool(frames) and all(f[2] == {"baud": 9600, "parity": "e", "data": 8, "stop": 2} for f in frames)


def hexdump_command(path):
    return f"od -An -v -tx1 {path} | tr -d ' \\n'"


def steps(rig, checks, args):
    a, b = rig.chips
    both = rig.chips

    def reset():
        rig.reset_chips()

    def traffic(chip):
        return chip.received

    # -- list, in index order
    reset()
    rc, out, err, _ = rig.run("list", f"{CLI} list --json")
    listed = None
    try:
        listed = json.loads(out) if rc == 0 else None
    except ValueError:
        pass
    checks.expect(isinstance(listed, list) and
                  sorted(d.get("serial") for d in listed) == sorted(SERIALS) and
                  [d.get("index") for d in listed] == list(range(len(SERIALS))) and
                  all(d.get("description") == DESCRIPTION for d in listed),
                  f"list --json shows both chips in index order (rc {rc}: {out!r} {err!r})")
    first = a
    if listed and listed[0].get("serial") == b.serial:
        first = b
    other = b if first is a else a
    rc, out, err, _ = rig.run("list-text", f"{CLI} list")
    checks.expect(rc == 0 and all(s in out for s in SERIALS),
                  f"list shows index, serial and description ({out!r})")

    # -- Read, the default open (index 0) with the default library lookup
    reset()
    rc, out, err, secs = rig.run("read", f"cd /tmp && env -u TARVEX_D2XX {CLI} read -o r.tcf"
                                 f" && {hexdump_command('/tmp/r.tcf')}")
    dump = out.strip().splitlines()[-1] if out.strip() else ""
    checks.expect(rc == 0 and dump == first.record().hex(),
                  f"read: the file equals the first chip's gyro record (rc {rc}, {secs:.2f} s)"
                  + ("" if rc == 0 else f": {err}"))
    checks.expect(traffic(other) == 0, "read: the other chip sees no traffic")
    checks.expect(bool(first.frames) and line_ok(first, first.frames),
                  f"read: 9600 baud, 8 data bits, even parity, 2 stop bits at every frame "
                  f"({[f[2] for f in first.frames][:2]})")
    rc, out, err, _ = rig.run("sio-back", "ls /sys/bus/usb-serial/devices | wc -l")
    checks.expect(out.strip() == str(len(both)),
                  f"after the read the kernel's serial driver has the chip again ({out.strip()} "
                  f"of {len(both)} ports)")

    # -- the exit after an open, under the allocator's checks and under another name
    reset()
    # glibc's checks, or AddressSanitizer's in a sanitizer build (they exclude each other).
    checked = "" if args.asan else "MALLOC_CHECK_=3 LD_PRELOAD=libc_malloc_debug.so.0 "
    rc, out, err, _ = rig.run(
        "exit-checks", f"{checked}{CLI} read >/dev/null; a=$?; "
        f"tarvex-cli.real --language en read >/dev/null; echo $a $?")
    checks.expect(out.strip() == "0 0" and "free" not in err,
                  f"exit after an open: clean under {'ASan' if args.asan else 'MALLOC_CHECK_=3'}"
                  f" and as tarvex-cli.real (statuses {out.strip()!r}) {err[-300:]!r}")

    # -- FT_Read reports every byte it placed (echo and reply, or the echo alone), within its
    # time-out and a margin for the emulator
    for silent, count in ((False, 101), (True, 17)):
        reset()
        for chip in both:
            chip.silent = silent
        rc, out, err, _ = rig.run(f"ft-read-{count}",
                                  f"tarvex-hw-probe {GUEST_BIN}/libtarvex-ftdi.so read 200")
        m = re.search(r"status=(\d+) count=(\d+) ms=(\d+)", out)
        checks.expect(m and m.group(1) == "0" and int(m.group(2)) == count and
                      int(m.group(3)) <= 1250,
                      f"FT_Read(200), {'silent' if silent else 'answering'} gyro: FT_OK with "
                      f"{count} bytes within 1000 + 250 ms ({out.strip()})")
        if m:
            checks.figure(f"FT_Read(200) returned after {m.group(3)} ms (time-out 1000 ms)")

    # -- a silent gyro: the read error, within 4 s
    reset()
    for chip in both:
        chip.silent = True
    rc, out, err, secs = rig.run("silent", f"{CLI} read")
    # From the first byte on the line (the program has started) to its end.
    started = min((c.first_byte_at for c in both if c.first_byte_at), default=None)
    secs = rig.step_ended_at - started if started else float("inf")
    checks.expect(rc == 1 and "Read error" in err and secs < 4,
                  f"silent gyro: exit 1 with the read error {secs:.2f} s after its first byte "
                  f"({err.strip()!r})")

    # -- a reply 700 ms late is still read
    reset()
    for chip in both:
        chip.reply_delay_ms = 700
    rc, out, err, secs = rig.run("late", f"{CLI} read")
    checks.expect(rc == 0, f"reply 700 ms late: still read (rc {rc}, {err.strip()!r})")

    # -- the burst against a line that paces the chip's writes
    reset()
    rc, out, err, secs = rig.run(
        "paced", f"LD_PRELOAD={GUEST_BIN}/libtarvex-hw-paced.so {CLI} read")
    checks.expect(rc == 0, f"wake-up burst on a paced line (1.25 ms a byte beyond the chip's "
                  f"buffer): read succeeds (rc {rc}, {secs:.2f} s, {err.strip()!r})")

    # -- Write and read back
    reset()
    target = record_with(first.record(), 0x1234, (first.record()[4 + 73] + 7) & 0xFF)
    rig.qemu.stdin.write(
        ("printf '%s' | sed 's/../\\\\x&/g' | xargs -0 printf > /tmp/w.tcf\n"
         % target.hex()).encode())
    rig.qemu.stdin.flush()
    rig.wait_console(lambda l: l == "@@READY", 10, "the guest's prompt")
    rc, out, err, secs = rig.run("write", f"{CLI} write /tmp/w.tcf")
    kinds = [f[1] for f in first.frames]
    checks.expect(rc == 0 and kinds.count(PAGE) == 9 and kinds.count(COMMITTED) == 1
                  and first.record()[1:] == target[1:],
                  f"write: nine pages, one commit, verified (rc {rc}, pages {kinds.count(PAGE)}, "
                  f"commits {kinds.count(COMMITTED)}, {err.strip()!r})")
    checks.expect(line_ok(first, first.frames), "write: the line settings at every frame")

    # -- servo for a few seconds
    reset()
    rc, out, err, secs = rig.run("servo", f"{CLI} servo --position 1500 --seconds 5")
    times = [f[0] for f in first.frames if f[1] == BUS_FRAME]
    gaps = sorted((t1 - t0) * 1000 for t0, t1 in zip(times, times[1:]))
    median = statistics.median(gaps) if gaps else 0
    p99 = gaps[min(len(gaps) - 1, int(len(gaps) * 0.99))] if gaps else 0
    checks.expect(rc == 0 and 90 <= len(times) <= 110 and first.rudder_value() == 1500,
                  f"servo 5 s: {len(times)} bus frames, rudder channel "
                  f"{first.rudder_value()} (rc {rc}, {err.strip()!r})")
    checks.expect(45 <= median <= 55, f"servo: median frame spacing {median:.1f} ms")
    checks.figure(f"bus-frame spacing on the host: median {median:.1f} ms, p99 {p99:.1f} ms, "
                  f"max {max(gaps) if gaps else 0:.1f} ms over {len(gaps)} gaps ({rig.accel})",
                  **{"stream.spacing.median": (median, "ms"), "stream.spacing.p99": (p99, "ms"),
                     "stream.spacing.max": (max(gaps) if gaps else 0, "ms"),
                     "stream.gaps": (len(gaps), "")})
    checks.expect(line_ok(first, first.frames), "servo: the line settings at every frame")

    # -- --adapter: the named chip, and the other sees no traffic
    for chip, rest in ((other, first), (first, other)):
        reset()
        rc, out, err, _ = rig.run(f"adapter-{chip.serial}",
                                  f"cd /tmp && {CLI} --adapter {chip.serial} read -o a.tcf"
                                  f" && {hexdump_command('/tmp/a.tcf')}")
        dump = out.splitlines()[-1] if out else ""
        checks.expect(rc == 0 and dump == chip.record().hex() and traffic(rest) == 0,
                      f"--adapter {chip.serial}: reads that chip's record, the other chip sees "
                      f"no traffic (rc {rc}, bytes {traffic(chip)}/{traffic(rest)}, {err!r})")
    reset()
    rc, out, err, _ = rig.run("adapter-unknown", f"{CLI} --adapter NOSUCH01 read")
    checks.expect(rc == 1 and "connect" in err.lower() and traffic(a) + traffic(b) == 0,
                  f"--adapter with an unknown serial: the open error, exit 1 ({err.strip()!r})")

    # -- unplugging during servo, during a read, and a read after plugging back in
    unplug(rig, checks, first)


def plug_back(rig, chip):
    """device_add for a chip just unplugged. QEMU lets go of the chip's chardev only once
    the removal is finished, a little after device_del returns: until then device_add says
    the chardev is in use, so it is tried again for a few seconds."""
    deadline = now() + 10
    while True:
        try:
            rig.qmp_command("device_add", driver="usb-serial", bus="xhci.0",
                            chardev=f"line{chip.index}", serial=chip.serial, id=chip.qdev)
            return
        except Failure as error:
            if "is in use" not in str(error) or now() > deadline:
                raise
            time.sleep(0.1)


def unplug(rig, checks, chip):
    reset = rig.reset_chips
    for when in ("servo", "read"):
        reset()
        pulled = {}

        def pull(c, event, when=when):
            trigger = BUS_FRAME if when == "servo" else READ_REQUEST
            # Servo: after a few frames; read: while the program waits for the reply.
            count = sum(1 for f in c.frames if f[1] == trigger)
            if event == trigger and "at" not in pulled and count >= (10 if when == "servo" else 1):
                pulled["at"] = now()
                rig.qmp_command("device_del", id=c.qdev)

        chip.on_event = pull
        if when == "read":
            chip.silent = True
        command = (f"{CLI} servo --position 1200 --seconds 20" if when == "servo" else
                   f"{CLI} read")
        rig.qemu.stdin.write(f"step unplug-{when} {shlex.quote(command)}\n".encode())
        rig.qemu.stdin.flush()
        rig.wait_console(lambda l: l.startswith(f"@@END unplug-{when} "), 40, f"unplug-{when}")
        end_host = now()
        line = rig.console_lines[rig._seen - 1]
        lines = rig.console_lines
        err_i = max(i for i in range(rig._seen) if lines[i] == f"@@ERR unplug-{when}")
        err = "\n".join(lines[err_i + 1:rig._seen - 1])
        rig.wait_console(lambda l: l == "@@READY", 10, "the guest's prompt")
        rc = int(re.search(r"rc=(\d+)", line).group(1))
        message = "Write error" if when == "servo" else "Read error"
        delay = end_host - pulled["at"] if "at" in pulled else float("inf")
        checks.expect(rc == 1 and message in err and delay < 2.0,
                      f"unplug during {when}: exit 1 with the {message.lower()} "
                      f"{delay:.2f} s after the unplug ({err.strip()!r})")
        checks.figure(f"unplug during {when}: the program ended {delay:.2f} s after device_del")
        # Plug it back in, and wait for the guest to see it again.
        chip.on_event = None
        plug_back(rig, chip)
        rc, out, _, _ = rig.run(
            f"replug-{when}",
            f"n=0; while [ $(ls /sys/bus/usb-serial/devices | wc -l) -lt {len(rig.chips)} ]"
            f" && [ $n -lt 200 ]; do sleep 0.1; n=$((n+1)); done; echo $n")
        rig.map_addresses()
    reset()
    rc, out, err, _ = rig.run("read-after-replug", f"{CLI} --adapter {chip.serial} read")
    checks.expect(rc == 0 and chip.received > 0,
                  f"read after plugging the chip back in (rc {rc}, {err.strip()!r})")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for option in ("cli", "layer", "host-gyro", "probe", "paced", "work"):
        parser.add_argument(f"--{option}", required=True)
    args = parser.parse_args()
    started = now()
    checks = Checks()
    rig = None
    try:
        if shutil.which("qemu-system-x86_64") is None:
            raise Failure("qemu-system-x86_64 is not installed (qemu-system-x86; "
                          "scripts/setup.sh installs it)")
        if not os.path.exists("/bin/busybox") or "not a dynamic" not in subprocess.run(
                ["ldd", "/bin/busybox"], capture_output=True, text=True).stdout + \
                subprocess.run(["ldd", "/bin/busybox"], capture_output=True, text=True).stderr:
            raise Failure("/bin/busybox is missing or not static (busybox-static; "
                          "scripts/setup.sh installs it)")
        kernel, version = find_kernel()
        args.asan = any("libasan" in p for p in shared_libraries(args.cli))
        rig = Rig(args)
        initramfs = os.path.join(args.work, "initramfs.cpio")
        build_initramfs(args, version, initramfs)
        factory = None
        for serial, (gyro_id, gain) in zip(SERIALS, ((1111, 40), (2222, 60))):
            chip = rig.add_chip(serial, None)
            factory = factory or chip.record()
            rig.gyro_lib.host_gyro_free(chip.gyro)
            chip.gyro = rig.gyro_lib.host_gyro_new(record_with(factory, gyro_id, gain))
        rig.boot(kernel, initramfs)
        checks.figure(f"guest booted in {rig.boot_seconds:.1f} s ({rig.accel})",
                      boot=(rig.boot_seconds, "s"), kvm=(1 if rig.accel == "kvm" else 0, ""))
        info = rig.map_addresses()
        if any(c.address is None for c in rig.chips):
            raise Failure(f"QEMU's monitor does not show both chips:\n{info}")
        steps(rig, checks, args)
        checks.expect(not rig.sanitizer_reports,
                      "no sanitizer reports in the guest" +
                      "".join("\n" + r for r in rig.sanitizer_reports))
    except Failure as e:
        checks.failures.append(str(e))
        print(f"FAIL  {e}", flush=True)
    finally:
        if rig:
            rig.stop()
    elapsed = time.monotonic() - started
    checks.values.append(f"hardware.seconds: {elapsed:.3f} s")
    os.makedirs(args.work, exist_ok=True)
    with open(os.path.join(args.work, "figures.txt"), "w") as f:
        f.write("".join(v + "\n" for v in checks.values))
    print(f"hardware test: {elapsed:.1f} s, "
          f"{len(checks.failures)} failure(s)", flush=True)
    return 1 if checks.failures else 0


if __name__ == "__main__":
    sys.exit(main())
