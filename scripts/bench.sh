#!/usr/bin/env bash
# Runs every benchmark and writes docs/performance.md with the results, the goals and the
# machine. Takes about three minutes; run it on an otherwise idle machine.
#   scripts/bench.sh            (build folder: build-bench, Release)
#   scripts/bench.sh --cli      only tarvex-cli before and after (about a minute): replaces
#                               that section of docs/performance.md, keeps the rest
#   scripts/bench.sh --windows  only the Windows window's stream under Wine and the Windows
#                               packages (a minute and a half, after scripts/windows.sh):
#                               replaces those two sections
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${TARVEX_BENCH_BUILD_DIR:-build-bench}
out=docs/performance.md
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# tarvex-cli show, before and after it left Qt: the last Qt-based tree (commit 522ec12,
# unpacked with git archive, no worktree) and this one, both Release, run in turn
# (bench/app/cli_show.py). Writes the section to $work/cli_section.md and the figures to
# $work/cli.txt.
cli_before_commit=522ec12
cli_compare() {
    echo "bench: tarvex-cli show before ($cli_before_commit, Qt) and after (no Qt)"
    mkdir -p "$work/old"
    git archive "$cli_before_commit" | tar -x -C "$work/old"
    cmake -S "$work/old" -B "$work/old-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DTARVEX_BUILD_TESTS=OFF >/dev/null
    cmake --build "$work/old-build" --target tarvex-cli >/dev/null
    "$bin/tarvex-cli" defaults "$work/cli.tcf" >/dev/null
    python3 bench/app/cli_show.py 30 "$work/cli.tcf" \
        before="$work/old-build/bin/tarvex-cli" after="$bin/tarvex-cli" | tee "$work/cli.txt"
    cv() { awk -v k="$1:" '$1 == k { print $2; exit }' "$work/cli.txt"; }
    mb() { awk -v k="$1" 'BEGIN { printf "%.2f", k * 1024 / 1e6 }'; }
    met() { awk "BEGIN { exit !($1) }" && echo "met" || echo "**not met**"; }
    local qt_libs
    qt_libs=$(ldd "$bin/tarvex-cli" | grep -c 'libQt' || true)
    {
        echo "## tarvex-cli without Qt: before and after"
        echo
        echo "\`tarvex-cli show FILE\` on a factory-default settings file, $(cv cli.after.runs) runs of each"
        echo "program in turn on $(date -u '+%Y-%m-%d %H:%M UTC') (\`scripts/bench.sh --cli\`, \`bench/app/cli_show.py\`)."
        echo "Before: commit $cli_before_commit (QCommandLineParser, Qt JSON, the translations as"
        echo "embedded .qm files; links QtCore). After: CLI11, nlohmann/json and the string table"
        echo "compiled in from the .ts files; \`ldd\` lists $qt_libs Qt libraries, and the C++ run-time is"
        echo "linked in. Both Release builds. Medians, the maximum in brackets."
        echo
        echo "| \`tarvex-cli show\` | Goal | Before (Qt) | After | |"
        echo "|---|---|---|---|---|"
        echo "| Peak memory (maximum resident set) | < 4 MB | $(mb "$(cv cli.before.rss.median)") MB | $(mb "$(cv cli.after.rss.median)") MB ($(cv cli.after.rss.median) KiB) | $(met "$(mb "$(cv cli.after.rss.median)") < 4") |"
        echo "| Processor time (user + system) | < 5 ms | $(cv cli.before.cpu.median) ms ($(cv cli.before.cpu.max)) | $(cv cli.after.cpu.median) ms ($(cv cli.after.cpu.max)) | $(met "$(cv cli.after.cpu.median) < 5") |"
        echo "| Start to exit (wall) | (no goal) | $(cv cli.before.wall.median) ms ($(cv cli.before.wall.max)) | $(cv cli.after.wall.median) ms ($(cv cli.after.wall.max)) | |"
        echo
        echo "Peak memory is \`/usr/bin/time\`'s maximum resident set (a child of Python would start"
        echo "with Python's memory, which the kernel carries across exec); the times come from"
        echo "\`os.wait4\` around a fork and exec: the kernel's user + system time of the program,"
        echo "and the wall time from the fork to the wait's return."
        echo
        echo '```'
        cat "$work/cli.txt"
        echo '```'
    } >"$work/cli_section.md"
}

# The stream as tarvex.exe's window runs it during the limit procedure, under Wine, once
# scripts/windows.sh has built it (bench/win/WindowStream.cpp): the window hidden on Wine's
# display driver without a display, Read and Enter clicked, the frames' arrivals at the
# virtual gyro stamped for 60 s. Writes the section to $work/window_stream_section.md.
window_stream() {
    local exe=$root/build-windows/bin/tarvex_window_stream.exe
    if [ ! -x /usr/lib/wine/wine64 ] || [ ! -f "$exe" ]; then
        return 0
    fi
    echo "bench: the Windows window's stream for 60 s under Wine"
    (
        # shellcheck source=scripts/wine-prefix.sh
        source "$root/scripts/wine-prefix.sh"
        tarvex_wine_prefix "$root/build-windows/wine" null >/dev/null
        "$tarvex_wine" "$exe" 60 </dev/null 2>/dev/null | tr -d '\r' | tee "$work/window_stream.txt"
        tarvex_wine_stop
    ) || true
    [ -s "$work/window_stream.txt" ] || return 0
    {
        echo "## The Windows window's stream under Wine"
        echo
        echo "\`tarvex_window_stream 60\` from \`build-windows\`: \`tarvex.exe\`'s window (hidden, on"
        echo "Wine's display driver without a display) over the virtual gyro, Read and then Enter"
        echo "clicked, so the limit procedure's stream runs as the window starts it; the frames'"
        echo "arrivals at the gyro are stamped by watching its frame count between the window's"
        echo "messages, on $(date -u '+%Y-%m-%d %H:%M UTC') (\`scripts/bench.sh --windows\`)."
        echo "The stamps carry the polling's own delay, so the spread is an upper bound of the"
        echo "stream's; compare the core's \`StreamTimer\` under Wine above."
        echo
        echo '```'
        cat "$work/window_stream.txt"
        echo '```'
    } >"$work/window_stream_section.md"
}

# The Windows packages' sizes, once scripts/windows.sh has built them: the files as
# installed (stripped), the MSI and the .zip; and the window's start time (through
# scripts/windows-screenshots.sh). Writes $work/windows_sizes.txt.
windows_packages() {
    windows_build=$root/build-windows
    if [ -f "$windows_build/installer/files/tarvex.exe" ]; then
        {
            echo "| file | size |"
            echo "|---|---|"
            for f in "$windows_build"/installer/files/*.exe "$windows_build"/installer/files/*.dll \
                "$windows_build"/Tarvex-*-x64.msi "$windows_build"/Tarvex-*-x64.zip; do
                [ -f "$f" ] || continue
                size=$(stat -c %s "$f")
                echo "| \`$(basename "$f")\` | $size bytes ($(awk -v b="$size" 'BEGIN { printf "%.0f", b / 1024 }') KiB) |"
            done
        } >"$work/windows_sizes.txt"
        # From the start of tarvex.exe under Wine to its window on an X screen.
        # (the screenshots script takes its build folder relative to the tree)
        if TARVEX_WINDOWS_BUILD_DIR=build-windows "$root/scripts/windows-screenshots.sh" >/dev/null &&
            [ -s "$windows_build/screenshots/start-times.txt" ]; then
            {
                echo
                echo "From the start of \`tarvex.exe --simulate --language <xx>\` under Wine to its window"
                echo "on an Xvfb screen, polled every 50 ms; the first start (en) also starts the prefix's"
                echo "Wine server and services, the others find them running:"
                echo
                echo "| language | start to window |"
                echo "|---|---|"
                awk '{ printf "| %s | %s s |\n", $1, $2 }' "$windows_build/screenshots/start-times.txt"
            } >>"$work/windows_sizes.txt"
        fi
    fi
}

# Replaces the section of $out that starts with heading $1 (to the next "## " heading or
# the end) with file $2, or ends the file with it.
replace_section() {
    python3 - "$out" "$2" "$1" <<'PY'
import re, sys
doc = open(sys.argv[1], encoding="utf-8").read()
section = open(sys.argv[2], encoding="utf-8").read().rstrip("\n") + "\n"
pattern = re.compile("^" + re.escape(sys.argv[3]) + r"\n.*?(?=^## |\Z)", re.S | re.M)
if pattern.search(doc):
    doc = pattern.sub(lambda m: section + ("\n" if m.end() < len(doc) else ""), doc, count=1)
else:
    doc = doc.rstrip("\n") + "\n\n" + section
open(sys.argv[1], "w", encoding="utf-8").write(doc)
PY
}

# The section on the Windows packages' sizes, from windows_packages' table.
windows_packages_section() {
    echo "## The Windows packages"
    echo
    echo "From \`build-windows\` (MinGW-w64, static C and C++ run-time libraries): the files"
    echo "as the installer and the .zip carry them, stripped, and the two packages."
    echo
    cat "$work/windows_sizes.txt"
}

if [ "${1:-}" = --windows ]; then
    window_stream
    windows_packages
    if [ ! -s "$work/window_stream_section.md" ] || [ ! -s "$work/windows_sizes.txt" ]; then
        echo "bench: no Windows build in build-windows, or Wine is missing; run scripts/windows.sh first" >&2
        exit 1
    fi
    replace_section "## The Windows window's stream under Wine" "$work/window_stream_section.md"
    windows_packages_section >"$work/windows_packages_section.md"
    replace_section "## The Windows packages" "$work/windows_packages_section.md"
    echo "bench: wrote the Windows sections of $out"
    exit 0
fi

if [ "${1:-}" = --cli ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVEX_BUILD_TESTS=ON >/dev/null
    cmake --build "$build" --target tarvex-cli >/dev/null
    bin=$root/$build/bin
    cli_compare
    # The section replaces its old self (to the next "## " heading or the end), or ends
    # the file.
    python3 - "$out" "$work/cli_section.md" <<'PY'
import re, sys
doc = open(sys.argv[1], encoding="utf-8").read()
section = open(sys.argv[2], encoding="utf-8").read().rstrip("\n") + "\n"
pattern = re.compile(r"^## tarvex-cli without Qt: before and after\n.*?(?=^## |\Z)", re.S | re.M)
if pattern.search(doc):
    doc = pattern.sub(lambda m: section + ("\n" if m.end() < len(doc) else ""), doc, count=1)
else:
    doc = doc.rstrip("\n") + "\n\n" + section
open(sys.argv[1], "w", encoding="utf-8").write(doc)
PY
    echo "bench: wrote the tarvex-cli section of $out"
    exit 0
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVEX_BUILD_TESTS=ON >/dev/null
cmake --build "$build" --target tarvex tarvex-cli tarvex-vgyro tarvex-ftdi \
    tarvex_bench_commandoverhead tarvex_bench_streamperiod tarvex_gyro_bench \
    tarvex_stream_timing tarvex_host_gyro tarvex-hw-probe tarvex-hw-paced
bin=$root/$build/bin
results=$work/results.txt
load_start=$(cut -d' ' -f1-3 /proc/loadavg)
: >"$results"

echo "bench: Read and Write command overhead (virtual gyro, line timing)"
"$bin/tarvex_bench_commandoverhead" 10 5 | tee -a "$results"

echo "bench: bus-frame stream for 60 s (virtual gyro, line timing)"
"$bin/tarvex_bench_streamperiod" 60 | tee -a "$results"
# Run as root, the stream thread may take SCHED_FIFO; an ordinary user's may not. The
# second minute shows the stream at normal priority.
unprivileged=no
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
    unprivileged=yes
    echo "bench: the same as an unprivileged user (normal priority)"
    setpriv --reuid=65534 --regid=65534 --clear-groups "$bin/tarvex_bench_streamperiod" 60 |
        sed 's/^stream\./user_stream./' | tee -a "$results"
fi

echo "bench: window start-up (Xvfb)"
xvfb-run -a -s "-screen 0 1280x1024x24" bench/app/window_startup.sh "$bin/tarvex" 7 |
    tee -a "$results"

echo "bench: peak memory"
export TARVEX_VGYRO_STATE=none
unset TARVEX_VGYRO_FAST TARVEX_VGYRO_FAULTS TARVEX_D2XX
# The window: start, connect, Read the virtual gyro, draw, save a screenshot, end.
xvfb-run -a -s "-screen 0 1280x1024x24" /usr/bin/time -f "memory.window: %M KiB" \
    -o "$work/window.mem" "$bin/tarvex" --simulate --screenshot "$work/window.png" \
    >/dev/null 2>&1
cat "$work/window.mem" | tee -a "$results"
"$bin/tarvex-cli" defaults "$work/defaults.tcf" >/dev/null
/usr/bin/time -f "memory.cli_show: %M KiB" -o "$work/cli.mem" \
    "$bin/tarvex-cli" show "$work/defaults.tcf" >/dev/null
cat "$work/cli.mem" | tee -a "$results"
cli_compare

echo "bench: bus-frame packing (Google Benchmark) and the 10 s stream timing"
"$bin/tarvex_gyro_bench" --benchmark_min_time=0.2 2>/dev/null | tee "$work/gyro_bench.txt"
"$bin/tarvex_stream_timing" 10 | tee "$work/stream_timing.txt"

echo "bench: bus frames through an emulated FTDI chip (the hardware test, about a minute)"
if ctest --test-dir "$build" -R '^hardware\.' >"$work/hardware.txt" 2>&1; then
    tee -a "$results" <"$build/tests/hardware/run/figures.txt"
else
    cat "$work/hardware.txt"
    echo "bench: the hardware test failed; its figures are left out" >&2
fi

# The Windows build's stream (the multimedia timer) under Wine, once scripts/windows.sh has
# built it; the program's own verdict is the Linux goal and does not stop this script.
wine_timing=$root/build-windows/bin/tarvex_stream_timing.exe
if [ -x /usr/lib/wine/wine64 ] && [ -f "$wine_timing" ]; then
    echo "bench: the Windows build's stream for 60 s under Wine"
    WINEPREFIX=$root/build-windows/wine WINEDEBUG=-all /usr/lib/wine/wine64 "$wine_timing" 60 |
        tr -d '\r' | tee "$work/wine_stream.txt" || true
    WINEPREFIX=$root/build-windows/wine /usr/lib/wine/wineserver -k 2>/dev/null || true
fi

window_stream

windows_packages

value() { awk -v k="$1:" '$1 == k { print $2; exit }' "$results"; }
abs() { awk -v v="$1" 'BEGIN { printf "%.3f", v < 0 ? -v : v }'; }
check() { awk "BEGIN { exit !($1) }" && echo "met" || echo "**not met**"; }
# Goals in MB are judged in decimal megabytes (10^6 bytes), the stricter reading.
kib_to_mb() { awk -v k="$1" 'BEGIN { printf "%.2f", k * 1024 / 1e6 }'; }
kib_to_mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }

read_med=$(value read.overhead.median); read_max=$(value read.overhead.max)
write_med=$(value write.overhead.median); write_max=$(value write.overhead.max)
frames=$(value stream.frames); p99=$(value stream.error.p99)
errmax=$(value stream.error.max); errmed=$(value stream.error.median)
drift=$(value stream.drift); cpu=$(value stream.cpu)
start_med=$(value startup.median); start_max=$(value startup.max)
mem_window=$(kib_to_mb "$(value memory.window)"); mem_cli=$(kib_to_mb "$(value memory.cli_show)")
mem_window_mib=$(kib_to_mib "$(value memory.window)"); mem_cli_mib=$(kib_to_mib "$(value memory.cli_show)")
frames_int=${frames%.*}

load_end=$(cut -d' ' -f1-3 /proc/loadavg)
cpu_model=$(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo)
{
    echo "# Performance"
    echo
    echo "Measured by \`scripts/bench.sh\` (Release build) on $(date -u '+%Y-%m-%d %H:%M UTC')."
    echo
    echo "Machine: $cpu_model, $(nproc) cores available, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo) RAM,"
    echo "Linux $(uname -r), $(. /etc/os-release && echo "$PRETTY_NAME"). Load average at the start: $load_start, at the end: $load_end."
    echo
    echo "| What | Goal | Measured | |"
    echo "|---|---|---|---|"
    echo "| Read command: time beyond its fixed waits and line time | < 5 ms | median $read_med ms, max $read_max ms (10 runs) | $(check "$read_med < 5") |"
    echo "| Write command: time beyond its fixed waits and line time | < 5 ms | median $write_med ms, max $write_max ms (5 runs) | $(check "$write_med < 5") |"
    echo "| Stream: frames in 60 s | 1200 ± 1 | $frames_int | $(check "$frames >= 1199 && $frames <= 1201") |"
    echo "| Stream: p99 of \|period − 50 ms\| | < 0.5 ms | $p99 ms (median $errmed ms, max $errmax ms) | $(check "$p99 < 0.5") |"
    echo "| Stream: drift over the minute | none | $drift ms | $(check "$(abs "$drift") < 1") |"
    echo "| Stream: processor use while streaming | < 1 % of a core | $cpu % | $(check "$cpu < 1") |"
    echo "| Window: start to window shown | < 300 ms | median $start_med ms, max $start_max ms (7 runs) | $(check "$start_med < 300") |"
    echo "| Window: peak memory | < 60 MB | $mem_window MB ($mem_window_mib MiB) | $(check "$mem_window < 60") |"
    echo "| \`tarvex-cli show\`: peak memory | < 4 MB | $mem_cli MB ($mem_cli_mib MiB) | $(check "$mem_cli < 4") |"
    if [ -n "$(value hardware.stream.spacing.median)" ]; then
        echo "| Stream through an emulated FTDI chip: frame spacing on the host | (no goal) | median $(value hardware.stream.spacing.median) ms, p99 $(value hardware.stream.spacing.p99) ms, max $(value hardware.stream.spacing.max) ms | |"
    fi
    echo
    echo "## How each figure is taken"
    echo
    echo "- **Command overhead** (\`bench/app/CommandOverhead.cpp\`): \`RunReadCommand\` and"
    echo "  \`RunWriteCommand\` against the virtual gyro with its line timing (1.25 ms a byte, 5 ms"
    echo "  turnaround, 256-byte transmit buffer) and a pause that really sleeps. From each wall"
    echo "  time it subtracts the requested waits (500 ms; 9 × 100 ms + 500 ms) and the time the"
    echo "  line needs (the 1000-byte burst holds the writer for 744 bytes, 930 ms; a read"
    echo "  transaction's request, echo and reply take 131.25 ms). The rest is code, system calls,"
    echo "  scheduling and sleep overshoot (ten sleeps in a Write). The goal is judged on the"
    echo "  median; the maximum shows what a busy machine adds."
    echo "- **Stream** (\`bench/app/StreamPeriod.cpp\`): \`StreamTimer\` sends \`BusFrame\` to the"
    echo "  virtual gyro with line timing for 60 s; every write is time-stamped. The error is"
    echo "  \|interval − 50 ms\| between consecutive frames; drift is (last − first) − (n − 1) × 50 ms."
    echo "  Processor use is the whole process's user + system time (stream thread and virtual"
    echo "  gyro included) over the wall time. The stream thread asks for \`SCHED_FIFO\`, which"
    echo "  only a privileged process gets; the table's run was by user id $(id -u)."
    if [ "$unprivileged" = yes ]; then
        echo "  The same minute as an unprivileged user (normal scheduling): $(value user_stream.frames | cut -d. -f1) frames,"
        echo "  p99 error $(value user_stream.error.p99) ms, max $(value user_stream.error.max) ms, drift $(value user_stream.drift) ms,"
        echo "  processor $(value user_stream.cpu) %."
    fi
    echo "- **Start-up** (\`bench/app/window_startup.sh\`): \`tarvex --simulate\` under Xvfb; the"
    echo "  time from starting the process until the X server reports the \"Tarvex\" window mapped"
    echo "  and viewable (the first paint follows on the expose event), polled with \`xwininfo\`."
    echo "  This includes loading Qt and connecting to the virtual gyro."
    echo "- **Through an emulated FTDI chip** (\`tests/hardware\`, the hardware test): \`tarvex-cli servo\`"
    echo "  for 5 s in a QEMU guest ($( [ "$(value hardware.kvm)" = 1.000 ] && echo KVM || echo "TCG, no KVM")) against QEMU's emulated FT232, with"
    echo "  libtarvex-ftdi.so, libftdi1, libusb and the guest kernel's usbfs in the path; each bus"
    echo "  frame is time-stamped where the host reads it from the chip's serial side. The spread"
    echo "  is mostly the emulator's: the guest runs on an emulated processor on a shared machine."
    echo "- **Peak memory**: maximum resident set size from \`/usr/bin/time\`; the window under"
    echo "  Xvfb (xcb platform) started with \`--simulate --screenshot\`, which connects, reads the"
    echo "  virtual gyro, draws the window, saves it and ends; \`tarvex-cli show\` on a settings file."
    echo
    echo "## Raw results"
    echo
    echo '```'
    cat "$results"
    echo '```'
    echo
    echo "Bus-frame packing and one tick (\`bench/gyro\`):"
    echo
    echo '```'
    grep -E "^(BM_|Benchmark|---)" "$work/gyro_bench.txt" || cat "$work/gyro_bench.txt"
    echo
    cat "$work/stream_timing.txt"
    echo '```'
    if [ -s "$work/wine_stream.txt" ]; then
        echo
        echo "## The Windows build under Wine"
        echo
        echo "\`tarvex_stream_timing 60\` from \`build-windows\` (MinGW-w64; \`StreamTimer\` on"
        echo "\`timeSetEvent\` with \`TIME_KILL_SYNCHRONOUS\`, the period asked for with \`timeBeginPeriod\`)"
        echo "run under $(/usr/lib/wine/wine64 --version 2>/dev/null || echo Wine) on the same machine. Wine's"
        echo "multimedia timer counts whole milliseconds, so the first frame comes a millisecond or"
        echo "so late and single periods spread wider than on Linux; the frames keep to the grid"
        echo "(no drift). The Linux goals are not judged here: a Windows machine's own timer is"
        echo "what pilots will use."
        echo
        echo '```'
        cat "$work/wine_stream.txt"
        echo '```'
    fi
    if [ -s "$work/window_stream_section.md" ]; then
        echo
        cat "$work/window_stream_section.md"
    fi
    echo
    cat "$work/cli_section.md"
    if [ -s "$work/windows_sizes.txt" ]; then
        echo
        windows_packages_section
    fi
} >"$out"
echo "bench: wrote $out"
