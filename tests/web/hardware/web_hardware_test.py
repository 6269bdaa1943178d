#!/usr/bin/env python3
"""The browser links on the real stack: the built site in Chromium, over Web Serial and WebUSB.

A QEMU guest (the host's Debian kernel; the host's root file system read-only over 9p, the
built site over a second 9p share) runs udevd, serves the site on 127.0.0.1 with busybox's
httpd and runs headless Chromium with managed policies that grant the page's origin the
adapter (0403:6001) for Web Serial and WebUSB. The adapter is QEMU's emulated FT232 on an
xHCI bus; its serial side is a pty served here by a gyro on sim/'s gyro model
(libtarvex_host_gyro, through tests/hardware/hardware_test.py's Chip), at the line's timing.
page-driver.mjs drives the page through Chromium's DevTools pipe, which a virtio-serial port
carries to a Unix socket here.

Over Web Serial (the kernel's ftdi_sio) and over WebUSB (usbfs, ftdi_sio unbound): Read, a
change, Write and the read back; the line at 9600 8E2 as QEMU's trace shows what the chip
was told, and over WebUSB the chip's vendor requests; the claim refused, with the page's
message, while ftdi_sio holds the interface; an unplug (QMP device_del) during a Read and
during a Write ends the command with the desktop's message, and after the adapter is plugged
back (device_add) the next Write succeeds.

Where the emulated chip differs from a real FT232R, and why no check depends on it:
- A pty carries no parity or framing: the line settings come from QEMU's trace.
- Its bulk IN packets carry the status 01 00, and it NAKs an IN token while it has nothing
  instead of sending the two status bytes every latency period: the links take the status
  bytes off whatever they are, and nothing counts the packets.
- It takes writes at USB speed, not at 9600 baud: this side paces the echo and the reply
  at the line's timing (1.25 ms a byte) and holds the echo back no further than an FT232R's
  128-byte transmit buffer allows.
- Its purge values are the other way round (1 drops what it received): the WebUSB link's
  purges are checked as sent, and the links drop what they received themselves.

Options: --self-check checksum (the gyro's replies fail their checksum: the Reads' checks
fail) and --self-check baud (the links pass 19200 Bd on: the line checks fail), to show the
checks can fail; not part of the suite. The page finds the granted adapter itself (no
chooser) and reconnects in place after a replug (no start-screen round trip), and both are
checked; --chooser instead connects through the start screen's buttons and after a replug
starts the dialog again.

Exit status 0 when every check passed; 1, with the reasons, otherwise (also when the machine
lacks QEMU, the kernel, busybox-static, Chromium, node or the built site: it never skips).
"""

import argparse
import json
import os
import re
import selectors
import shutil
import subprocess
import sys
import time
import tty

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "hardware"))
import hardware_test as hw  # noqa: E402
from hardware_test import Failure, now  # noqa: E402

SERIAL = "TBX3W001"
GYRO_ID = 1234
HTTP_PORT = 8000
ORIGIN = f"http://127.0.0.1:{HTTP_PORT}"
CHROMIUM = "/usr/lib/chromium/chromium"
# What the guest's Chromium leaves off: background work, and the pages and processes it
# would start besides the test's own (the omnibox's popups, their preloading, a spare
# renderer).
DISABLED_FEATURES = ["Translate", "OptimizationHints", "MediaRouter", "PreloadTopChromeWebUI",
                     "WebUIOmniboxPopup", "WebUIOmniboxAimPopup", "WebUIOmniboxFullPopup",
                     "SpareRendererForSitePerProcess"]
# The modules the guest loads, with what they need (modules.dep) before them.
WANTED_MODULES = ["virtio_pci", "virtio_console", "9pnet_virtio", "9p", "xhci_pci", "ftdi_sio"]
READ, WRITE, ID_FIELD, SLIDER = 1059, 1060, 1001, 1036
READ_OK, READ_ERROR, WRITE_ERROR, WRITE_OK = 117, 103, 104, 105
# The WebUSB link's set-up as the chip's trace shows it: (request | 0x4000, value).
USB_SETUP = [(0x4000, 0), (0x4000, 2), (0x4000, 1), (0x4009, 2), (0x4002, 0), (0x4003, 0x4138),
             (0x4004, 8 | 2 << 8 | 2 << 11)]

INIT = r"""#!/bin/busybox sh
/bin/busybox --install -s
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
for m in @MODULES@; do insmod /modules/$m.ko || echo "@@FAILED insmod $m"; done
opts=trans=virtio,version=9p2000.L,ro,msize=512000
mkdir -p /newroot
mount -t 9p -o $opts,cache=loose hostroot /newroot || echo "@@FAILED the host's root"
mount -t proc proc /newroot/proc
mount -t sysfs sysfs /newroot/sys
mount -t devtmpfs devtmpfs /newroot/dev
mkdir -p /newroot/dev/shm /newroot/dev/pts
mount -t devpts devpts /newroot/dev/pts
for d in /tmp /run /root /var/tmp /dev/shm /etc/chromium; do mount -t tmpfs tmpfs /newroot$d; done
mkdir /newroot/tmp/site
mount -t 9p -o $opts site /newroot/tmp/site || echo "@@FAILED the site"
cp /guest.sh /newroot/tmp/guest.sh
exec chroot /newroot /bin/sh /tmp/guest.sh
"""

# Runs in the host's root file system.
GUEST = r"""export PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8
# Chromium lists a serial port by udev's properties.
/lib/systemd/systemd-udevd --daemon >/dev/null 2>&1
mkdir -p /etc/chromium/policies/managed
cat > /etc/chromium/policies/managed/tarvex.json <<EOF
{"SerialAllowUsbDevicesForUrls": [@GRANT@], "WebUsbAllowDevicesForUrls": [@GRANT@]}
EOF
cat > /tmp/httpd.conf <<EOF
.js:text/javascript
.mjs:text/javascript
.wasm:application/wasm
.webmanifest:application/manifest+json
.json:application/json
.svg:image/svg+xml
EOF
busybox ip link set lo up
busybox httpd -p 127.0.0.1:@PORT@ -h /tmp/site -c /tmp/httpd.conf
for p in /sys/class/virtio-ports/*; do [ "$(cat $p/name)" = devtools ] && pipe=/dev/${p##*/}; done
# Chromium starts while udev goes through the devices; what it does in the background
# (updates, translation, sync) is off. On emulated processors every process and every page
# costs: the omnibox's popup pages, which the headless window preloads (some 40 s of the
# guest's processor time), and the spare renderer are off, and the GPU process's work is
# done in the browser's.
@CHROMIUM@ --headless=new --no-sandbox --disable-gpu --in-process-gpu --no-zygote \
    --no-first-run --user-data-dir=/tmp/profile --lang=en-US --remote-debugging-pipe \
    --disable-background-networking --disable-component-update --disable-sync \
    --disable-default-apps --disable-extensions --disable-breakpad --mute-audio \
    --disable-features=@DISABLED_FEATURES@ \
    about:blank 3<>$pipe 4>&3 </dev/null >/tmp/chromium.log 2>&1 &
# The adapter's USB device and its serial port, with udev's properties.
udevadm trigger --action=add --subsystem-match=usb --subsystem-match=usb-serial \
    --subsystem-match=tty
udevadm settle --timeout=60
n=0
while [ ! -e /dev/ttyUSB0 ] && [ $n -lt 300 ]; do sleep 0.1; n=$((n+1)); done
"""


def module_order(version, wanted):
    """The modules to load, each after those it needs; built-in ones left out."""
    base = f"/lib/modules/{version}"

    def name(path):
        return os.path.basename(path).split(".ko")[0].replace("-", "_")

    deps = {}
    with open(f"{base}/modules.dep") as f:
        for line in f:
            path, _, needs = line.partition(":")
            deps[name(path)] = (os.path.basename(path).split(".ko")[0], needs.split())
    with open(f"{base}/modules.builtin") as f:
        builtin = {name(line.strip()) for line in f}
    order = []

    def visit(module):
        if module in builtin or deps.get(module, (None,))[0] in order:
            return
        if module not in deps:
            raise Failure(f"kernel module {module} not found in {base}/modules.dep")
        for need in deps[module][1]:
            visit(name(need))
        order.append(deps[module][0])

    for module in wanted:
        visit(module)
    return order


def build_initramfs(version, out):
    cpio = hw.Cpio()
    with open("/bin/busybox", "rb") as f:
        cpio.add_file("bin/busybox", f.read())
    cpio.add_char_device("dev/console", 5, 1)
    for d in ("proc", "sys", "sbin", "usr", "usr/bin", "usr/sbin"):
        cpio.entries[d] = (0o040755, b"", 0, 0)
    modules = module_order(version, WANTED_MODULES)
    for m in modules:
        cpio.add_file(f"modules/{m}.ko", hw.module_bytes(version, m), 0o644)
    grant = json.dumps({"devices": [{"vendor_id": 0x0403, "product_id": 0x6001}],
                        "urls": [ORIGIN]})
    guest = (GUEST.replace("@GRANT@", grant).replace("@PORT@", str(HTTP_PORT))
             .replace("@CHROMIUM@", CHROMIUM).replace("@DISABLED_FEATURES@", ",".join(DISABLED_FEATURES)) +
             hw.STEP_LOOP)
    cpio.add_file("guest.sh", guest.encode())
    cpio.add_file("init", INIT.replace("@MODULES@", " ".join(modules)).encode())
    cpio.write(out)


class PtyChip(hw.Chip):
    """The chip's serial side as a pty of QEMU's. The line is the real one's: everything it
    carries (the echo, the replies) reaches the chip at the line's timing."""

    NAMED_BY_MONITOR = True  # the pty's name comes from QEMU's monitor

    def listen(self):
        self.conn = None

    def chardev(self):
        return f"pty,id=line{self.index}"

    def accept(self):
        path = next(c["filename"] for c in self.rig.qmp_command("query-chardev")
                    if c["label"] == f"line{self.index}")
        fd = os.open(path.split(":", 1)[1], os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        tty.setraw(fd)
        self.conn = PtyLine(fd)
        self.rig.selector.register(self.conn, selectors.EVENT_READ, self.on_readable)

    def close_line(self):
        if self.conn:
            self.conn.close()
            self.conn = None

    def reset_step(self):
        super().reset_step()
        self.corrupt_reply = self.rig.args.self_check == "checksum"
        self.controls = []  # the vendor requests QEMU's trace showed: (request, value)
        self.bauds = []  # the baud rates it was told

    def deliver_due(self, t):
        while self.deliveries and self.deliveries[0][0] <= t:
            _, data, _ = self.deliveries.pop(0)
            try:
                self.conn.sendall(data)
            except OSError:
                pass  # nobody at the other end: the adapter is unplugged


class PtyLine:
    """A pty's end as the socket Chip expects."""

    def __init__(self, fd):
        self.fd = fd

    def fileno(self):
        return self.fd

    def recv(self, n):
        try:
            return os.read(self.fd, n)
        except BlockingIOError:
            raise
        except OSError:
            return b""  # the other end is closed (the adapter unplugged)

    def sendall(self, data):
        while data:
            try:
                data = data[os.write(self.fd, data):]
            except BlockingIOError:
                time.sleep(0.001)

    def close(self):
        os.close(self.fd)


class BrowserRig(hw.Rig):
    def accels(self):
        # Debian's kernel hangs under this machine kind's paravirtual KVM; another machine
        # may ask for KVM.
        return os.environ.get("TARVEX_HW_ACCEL", "tcg").split(",")

    def add_chip(self, serial, record):
        chip = PtyChip(self, len(self.chips), serial, record)
        self.chips.append(chip)
        return chip

    def qemu_command(self, kernel, initramfs, accel):
        share = "security_model=none,readonly=on,multidevs=remap"
        cmd = [
            "qemu-system-x86_64", "-nodefaults", "-no-user-config", "-display", "none",
            "-machine", "pc", "-accel", "tcg,thread=multi" if accel == "tcg" else accel,
            "-cpu", "max", "-smp", "2", "-m", "3072",
            "-kernel", kernel, "-initrd", initramfs,
            "-append", "console=ttyS0 quiet loglevel=1 panic=-1 rdinit=/init",
            "-serial", "stdio", "-no-reboot",
            "-qmp", f"unix:{os.path.join(self.work, 'qmp.sock')},server=on,wait=off",
            "-trace", "usb_serial_*",
            "-virtfs", f"local,path=/,mount_tag=hostroot,{share}",
            "-virtfs", f"local,path={self.args.site},mount_tag=site,{share}",
            "-device", "virtio-serial-pci",
            "-chardev", f"socket,id=devtools,path={self.devtools},server=on,wait=off",
            "-device", "virtserialport,chardev=devtools,name=devtools",
            "-device", "qemu-xhci,id=xhci",
        ]
        for chip in self.chips:
            cmd += ["-chardev", chip.chardev(), "-device", self.chip_device(chip)]
        return cmd

    @property
    def devtools(self):
        return os.path.join(self.work, "devtools.sock")

    def on_chip_trace(self, chip, event, rest):
        super().on_chip_trace(chip, event, rest)
        m = re.search(r"control 0x([0-9a-f]+), value 0x([0-9a-f]+)", rest)
        if event == "handle_control" and m:
            chip.controls.append((int(m.group(1), 16), int(m.group(2), 16)))
        if event == "set_baud":
            chip.bauds.append(chip.line["baud"])


class Driver:
    """page-driver.mjs, one command at a time, while the rig serves the line."""

    def __init__(self, rig, node):
        self.rig = rig
        self.log = open(os.path.join(rig.work, "driver.log"), "w")
        script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "page-driver.mjs")
        self.process = subprocess.Popen([node, script], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=self.log,
                                        preexec_fn=hw.die_with_parent)
        os.set_blocking(self.process.stdout.fileno(), False)
        rig.selector.register(self.process.stdout, selectors.EVENT_READ, self.on_output)
        self.buffer = b""
        self.replies = {}
        self.next_id = 0

    def on_output(self):
        data = self.process.stdout.read()
        if not data:
            if self.process.poll() is not None:
                raise Failure(f"the page driver ended (status {self.process.returncode})")
            return
        self.buffer += data
        *lines, self.buffer = self.buffer.split(b"\n")
        for line in lines:
            reply = json.loads(line)
            self.replies[reply["id"]] = reply

    def __call__(self, command, timeout=120, **args):
        """The command's result; its error raises Failure."""
        t0 = now()
        self.next_id += 1
        key = self.next_id
        self.process.stdin.write((json.dumps(dict(args, id=key, command=command)) + "\n").encode())
        self.process.stdin.flush()
        end = now() + timeout
        while key not in self.replies:
            if now() > end:
                raise Failure(f"the page driver's {command} did not end within {timeout} s")
            self.rig.pump(0.05)
        reply = self.replies.pop(key)
        if not reply["ok"]:
            raise Failure(f"the page driver's {command} failed: {reply['error']}")
        hw.debug(f"driver {command} {now() - t0:.1f} s -> {reply['result']}")
        return reply["result"]

    def stop(self):
        if self.process.poll() is None:
            try:
                self.process.stdin.write(b'{"id": 0, "command": "close"}\n')
                self.process.stdin.flush()
                self.process.wait(5)
            except (OSError, subprocess.TimeoutExpired):
                self.process.kill()
                self.process.wait()
        self.log.close()


def events(chip, kind):
    return sum(1 for f in chip.frames if f[1] == kind)


class Session:
    """The checks of one link."""

    def __init__(self, rig, page, checks, chip, link, args):
        self.rig, self.page, self.checks, self.chip, self.link = rig, page, checks, chip, link
        self.args = args
        self.name = "Web Serial" if link == "serial" else "WebUSB"

    def expect(self, ok, what):
        return self.checks.expect(ok, f"{self.name}: {what}")

    def click(self, control):
        box = self.page("click", control=control)
        return box["id"] if box else None, box

    def start(self):
        if self.link == "usb":
            self.unbind_serial_driver()
        self.chip.reset_step()
        started = self.page("start", link=self.link)
        self.expect(started["ready"], f"the dialog starts on the granted adapter ({started})")
        return started["ready"]

    def unbind_serial_driver(self):
        rc, out, err, _ = self.rig.run(
            "unbind", "cd /sys/bus/usb/drivers/ftdi_sio && for i in *:*; do "
            "echo -n $i > unbind && echo $i; done", 60)
        if rc != 0 or not out:
            raise Failure(f"ftdi_sio could not be unbound (rc {rc}: {out!r} {err!r})")

    def read(self, what):
        self.chip.reset_step()
        box, full = self.click(READ)
        shown = self.page("value", control=ID_FIELD)
        ok = self.expect(box == READ_OK and events(self.chip, hw.READ_REQUEST) == 1 and
                         shown == str(GYRO_ID),
                         f"{what}: one read request, \"The connection succeeded.\", the gyro's "
                         f"ID {shown} shown ({full})")
        self.expect(hw.line_ok(self.chip, self.chip.frames),
                    f"{what}: the chip was told 9600 Bd, 8 data bits, even parity, 2 stop bits "
                    f"at every frame ({[f[2] for f in self.chip.frames][:1]})")
        return ok

    def write_and_read_back(self):
        changed = self.page("change", control=SLIDER)
        before = self.chip.record()
        self.chip.reset_step()
        box, full = self.click(WRITE)
        kinds = [f[1] for f in self.chip.frames]
        self.expect(box == WRITE_OK and kinds.count(hw.PAGE) == 9 and
                    kinds.count(hw.COMMITTED) == 1 and self.chip.record() != before,
                    f"Write after a change ({changed['before']} -> {changed['after']}): nine "
                    f"pages, one commit, the gyro's record changed, verified ({full})")
        self.read("the read back")
        self.expect(self.page("value", control=SLIDER) == changed["after"],
                    f"the read back shows the changed value {changed['after']}")

    def unplug(self, during, then_write=True):
        """Pulls the adapter during a Read (its request sent, the reply 700 ms late: it would
        have been read) or a Write (after its third page), and plugs it back; then_write: the
        next Write succeeds."""
        chip = self.chip
        chip.reset_step()
        pulled = {}
        trigger, count = (hw.READ_REQUEST, 1) if during == "Read" else (hw.PAGE, 3)

        def pull(c, event):
            if event == trigger and events(c, trigger) >= count and "at" not in pulled:
                pulled["at"] = now()
                self.rig.qmp_command("device_del", id=c.qdev)

        chip.on_event = pull
        chip.reply_delay_ms = 700
        box, full = self.click(READ if during == "Read" else WRITE)
        ended = now()
        chip.on_event = None
        message = READ_ERROR if during == "Read" else WRITE_ERROR
        self.expect("at" in pulled and box == message,
                    f"unplugged during {during}: the command ends with "
                    f"\"{'Read error' if during == 'Read' else 'Write error'}\" ({full})")
        if "at" in pulled:
            self.checks.figure(f"{self.name}: unplugged during {during}, the message "
                               f"{ended - pulled['at']:.2f} s after device_del")
        else:
            raise Failure(f"{self.name}: the {during} never reached the point of the unplug")
        self.replug(then_write)

    def replug(self, then_write):
        hw.plug_back(self.rig, self.chip)
        rc, out, _, _ = self.rig.run(
            "replugged", "n=0; while [ ! -e /dev/ttyUSB0 ] && [ $n -lt 300 ]; do sleep 0.1; "
            "n=$((n+1)); done; udevadm settle; ls /dev/ttyUSB0", 120)
        self.rig.map_addresses()
        if rc != 0:
            raise Failure(f"the guest does not see the adapter plugged back ({out!r})")
        if not then_write:
            return
        if self.args.page_remembers:
            # The page takes the adapter back under the same window.
            where = self.page("where")
            self.expect(where["ready"] and not where["start"],
                        f"after the replug the window stays ({where})")
            if self.link == "usb":
                # ftdi_sio takes the chip again as it comes back, so the page's own claim is
                # refused (as on a Linux desktop with the driver loaded); once the driver lets
                # go, the window's Connect takes the adapter back, still the same window.
                self.unbind_serial_driver()
                back = self.page("reconnect")
                self.expect(back["back"] and back["ready"] and not back["start"],
                            f"after the driver lets go the window's Connect takes the adapter "
                            f"back ({back})")
        else:
            self.page("toStart")
            if not self.start():
                return
            self.read("Read after the replug")
        self.chip.reset_step()
        changed = self.page("change", control=SLIDER)
        box, full = self.click(WRITE)
        self.expect(box == WRITE_OK and events(self.chip, hw.COMMITTED) == 1,
                    f"after the replug the next Write succeeds ({changed['after']}, {full})")


def run_links(rig, page, checks, args):
    chip = rig.chips[0]
    opened = page("open", timeout=600, url=ORIGIN + "/",
                  skipBaud=args.self_check == "baud")
    checks.figure(f"the page's start (ms): {opened['timing']}")
    checks.expect(opened["granted"] == {"serial": 1, "usb": 1},
                  f"the policies grant the page the adapter for Web Serial and WebUSB "
                  f"({opened['granted']})")

    # -- Web Serial, through ftdi_sio
    serial = Session(rig, page, checks, chip, "serial", args)
    if args.page_remembers:
        where = page("waitReady")
        serial.expect(where["ready"] and not where["start"],
                      f"the page connects without a chooser ({where})")
    elif not serial.start():
        return
    serial.read("Read")
    serial.write_and_read_back()
    serial.unplug("Write")
    serial.unplug("Read", then_write=False)  # plugged back for WebUSB
    page("toStart")

    # -- WebUSB: first refused while ftdi_sio holds the interface, then over usbfs
    usb = Session(rig, page, checks, chip, "usb", args)
    refused = page("start", link="usb")
    usb.expect(not refused["ready"] and refused["status"] == opened["claimFailed"],
               f"while ftdi_sio holds the interface the claim is refused with the page's "
               f"message ({refused['status']!r})")
    if not usb.start():
        return
    usb.expect(all(step in chip.controls for step in USB_SETUP) and
               [c for c in chip.controls if c in USB_SETUP] == USB_SETUP[:len(
                   [c for c in chip.controls if c in USB_SETUP])],
               f"the chip's set-up: reset, both purges, latency 2 ms, no flow control, the "
               f"divisor for 9600 Bd, 8E2 ({[f'{r:#x}/{v:#x}' for r, v in chip.controls]})")
    usb.read("Read")
    usb.write_and_read_back()
    usb.unplug("Write")
    usb.unplug("Read", then_write=False)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for option in ("host-gyro", "site", "node", "work"):
        parser.add_argument(f"--{option}", required=True)
    parser.add_argument("--self-check", choices=("checksum", "baud"))
    parser.add_argument("--chooser", action="store_true")
    args = parser.parse_args()
    args.page_remembers = not args.chooser
    started = now()
    checks = hw.Checks()
    rig = page = None
    try:
        if shutil.which("qemu-system-x86_64") is None:
            raise Failure("qemu-system-x86_64 is not installed (qemu-system-x86; "
                          "scripts/setup.sh installs it)")
        for path, package in (("/bin/busybox", "busybox-static"), (CHROMIUM, "chromium"),
                              ("/lib/systemd/systemd-udevd", "udev"),
                              (os.path.join(args.site, "tarvex.wasm"), "scripts/web.sh builds")):
            if not os.path.exists(path):
                raise Failure(f"{path} is missing ({package})")
        if shutil.which(args.node) is None:
            raise Failure(f"{args.node} is missing (nodejs; scripts/setup.sh installs it)")
        if not os.path.isdir(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..",
                                          "node_modules", "puppeteer-core")):
            raise Failure("tests/web/node_modules is missing (scripts/web.sh runs npm ci)")
        kernel, version = hw.find_kernel()
        rig = BrowserRig(args)
        initramfs = os.path.join(args.work, "initramfs.cpio")
        build_initramfs(version, initramfs)
        chip = rig.add_chip(SERIAL, None)
        rig.gyro_lib.host_gyro_free(chip.gyro)
        chip.gyro = rig.gyro_lib.host_gyro_new(hw.record_with(chip.record(), GYRO_ID, 50))
        rig.boot(kernel, initramfs)
        checks.figure(f"guest booted in {rig.boot_seconds:.1f} s ({rig.accel})")
        rig.map_addresses()
        page = Driver(rig, args.node)
        t0 = now()
        version_info = page("connect", timeout=300, socket=rig.devtools)
        checks.figure(f"{version_info['version']} answered {now() - t0:.1f} s after the boot")
        run_links(rig, page, checks, args)
        hw.debug("page log:\n" + "\n".join(page("log")))
    except Failure as e:
        checks.failures.append(str(e))
        print(f"FAIL  {e}", flush=True)
        if rig and rig.qemu:
            try:
                _, out, _, _ = rig.run("chromium-log", "tail -n 30 /tmp/chromium.log", 20)
                print("guest's Chromium log:\n" + out, flush=True)
            except Failure:
                pass
        if page:
            try:
                print("page log:\n" + "\n".join(page("log", timeout=20)), flush=True)
            except Failure:
                pass
    finally:
        if page:
            page.stop()
        if rig:
            rig.stop()
    elapsed = now() - started
    print(f"web_hardware: {elapsed:.1f} s, {len(checks.failures)} failure(s)", flush=True)
    return 1 if checks.failures else 0


if __name__ == "__main__":
    sys.exit(main())
